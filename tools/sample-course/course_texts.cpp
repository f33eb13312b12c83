#include "tools/sample-course/course_texts.h"

#include <cstdio>

namespace sample {
namespace {

const char* const kChapterTitles[] = {
    "计算机基础知识", "Windows 操作系统", "文字处理", "电子表格", "演示文稿", "网络与因特网",
};

std::string TwoDigits(int n) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", n);
    return buf;
}

std::string HtmlHead(const std::string& title) {
    return JoinLines({
        "<html>",
        "<head>",
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">",
        "<title>" + title + "</title>",
    });
}

}  // namespace

std::string JoinLines(std::initializer_list<std::string> lines) {
    std::string out;
    for (const std::string& line : lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

std::string ChapterTitle(int n) {
    constexpr int kTitles = sizeof kChapterTitles / sizeof kChapterTitles[0];
    if (n >= 1 && n <= kTitles)
        return kChapterTitles[n - 1];
    return "专题 " + std::to_string(n);
}

std::string ChapterFolder(int n) {
    return "content/chapter" + TwoDigits(n);
}
std::string VideoFolder(int n) {
    return "content/video" + TwoDigits(n);
}

std::string SetupIni(const SampleCourseOptions& o) {
    return JoinLines({
        "courseid=" + o.courseId,
        "coursename=" + o.courseName,
        "version=20040301",
        "totalcd=2",
        "cd1=" + std::to_string(kChaptersPerCd),
        "nowcd=1",
        std::string("insteadfile=") + kInsteadFile,
        std::string("extendname=") + kExtendName,
        std::string("default=") + kStartPage,
    });
}

std::string StartPage(const SampleCourseOptions& o) {
    return HtmlHead(o.courseName) +
           JoinLines({
               "</head>",
               "<frameset rows=\"48,*\" frameborder=\"0\">",
               "<frame name=\"navbar\" src=\"navbar/navbar.htm\" "
               "scrolling=\"no\" noresize>",
               "<frameset cols=\"210,*\">",
               "<frame name=\"left\" src=\"left/chapters.htm\">",
               "<frame name=\"main\" src=\"" + ChapterFolder(1) + "/index.htm\">",
               "</frameset>",
               "</frameset>",
               "</html>",
           });
}

std::string NavbarPage(const SampleCourseOptions& o) {
    // The first frame holds the course id the update link hands on.
    return HtmlHead("导航") +
           JoinLines({
               "<script language=\"VBScript\">",
               "Dim courseID",
               "courseID = \"" + o.courseId + "\"",
               "</script>",
               "</head>",
               "<body bgcolor=\"#E8F0F8\" topmargin=\"4\">",
               "<table border=\"0\" cellspacing=\"0\" cellpadding=\"0\">",
               "<tr>",
               "<td width=\"75\" class=\"colJslx\"><p><a href=\"../index.htm\" "
               "target=\"_top\">首页</a></p></td>",
               "<td width=\"75\"><p><a href=\"../left/chapters.htm\" "
               "target=\"left\">章节目录</a></p></td>",
               "<td width=\"75\"><p><a href=\"tvOpen.htm\" target=\"main\">视频点播</a></p></td>",
               "</tr>",
               "</table>",
               "</body>",
               "</html>",
           });
}

std::string TvIncludePage(const std::string& mediaExt) {
    // Only the one line names extendname: the installer rewrites the quoted
    // value of every line that does.
    return HtmlHead("媒体播放") + JoinLines({
                                      "<script language=\"JavaScript\">",
                                      "var extendname = \"" + mediaExt + "\";",
                                      "</script>",
                                      "<script language=\"JavaScript\" src=\"player.js\"></script>",
                                      "</head>",
                                      "<body>",
                                      "<script language=\"JavaScript\">",
                                      "WriteMediaPlayer(location.search.substring(1));",
                                      "</script>",
                                      "</body>",
                                      "</html>",
                                  });
}

std::string TvOpenPage(const std::string& mediaExt, int firstChapter, int lastChapter) {
    std::string page = HtmlHead("视频点播") + JoinLines({
                                                  "<script language=\"JavaScript\">",
                                                  "var extendname = \"" + mediaExt + "\";",
                                                  "</script>",
                                                  "<script language=\"JavaScript\" "
                                                  "src=\"player.js\"></script>",
                                                  "</head>",
                                                  "<body>",
                                                  "<h3>视频点播</h3>",
                                                  "<ul>",
                                              });
    for (int n = firstChapter; n <= lastChapter; ++n) {
        page += JoinLines({"<li><a href=\"javascript:OpenClip('../" + VideoFolder(n) +
                           "/lecture')\">第" + std::to_string(n) + "章 " + ChapterTitle(n) +
                           "</a></li>"});
    }
    return page + JoinLines({"</ul>", "</body>", "</html>"});
}

std::string PlayerScript() {
    return JoinLines({
        "// 课件媒体播放：片段名不带扩展名，由页面的扩展名变量决定格式。",
        "function MediaUrl(clip) {",
        "  return clip + extendname;",
        "}",
        "function WriteMediaPlayer(clip) {",
        "  document.write('<object id=\"MediaPlayer\" "
        "classid=\"CLSID:22D6F312-B0F6-11D0-94AB-0080C74C7E95\" width=\"320\" height=\"285\">');",
        "  document.write('<param name=\"FileName\" value=\"' + MediaUrl(clip) + '\">');",
        "  document.write('</object>');",
        "}",
        "function OpenClip(clip) {",
        "  location.href = \"tvInclude.htm?\" + clip;",
        "}",
    });
}

std::string ItemsScript(const SampleCourseOptions& o, int startChapter, int chapterCount) {
    std::string script = JoinLines({
        "' 课件章节列表",
        "coursename = \"" + o.courseName + "\"",
        "startchapter = " + std::to_string(startChapter),
        "chaptercount = " + std::to_string(chapterCount),
        "Dim chapters(" + std::to_string(chapterCount) + ")",
    });
    for (int n = 1; n <= chapterCount; ++n) {
        script += JoinLines({"chapters(" + std::to_string(n) + ") = \"第" + std::to_string(n) +
                             "章 " + ChapterTitle(n) + "\""});
    }
    return script;
}

std::string ChapterListPage(const SampleCourseOptions& o, int chapterCount) {
    std::string page =
        HtmlHead("章节目录") + JoinLines({
                                   "<script language=\"VBScript\" src=\"items.vbs\"></script>",
                                   "</head>",
                                   "<body>",
                                   "<h4>" + o.courseName + "</h4>",
                                   "<ul>",
                               });
    for (int n = 1; n <= chapterCount; ++n) {
        page +=
            JoinLines({"<li><a href=\"../" + ChapterFolder(n) + "/index.htm\" target=\"main\">第" +
                       std::to_string(n) + "章 " + ChapterTitle(n) + "</a></li>"});
    }
    return page + JoinLines({"</ul>", "</body>", "</html>"});
}

std::string ChapterIndexPage(int n, int sections) {
    std::string title = "第" + std::to_string(n) + "章 " + ChapterTitle(n);
    std::string page =
        HtmlHead(title) + JoinLines({"</head>", "<body>", "<h2>" + title + "</h2>", "<ul>"});
    for (int s = 1; s <= sections; ++s) {
        page += JoinLines({"<li><a href=\"s" + std::to_string(s) + ".htm\">第" + std::to_string(s) +
                           "节</a></li>"});
    }
    return page + JoinLines({
                      "<li><a href=\"习题.htm\">本章习题</a></li>",
                      "<li><a href=\"../../navbar/tvInclude.htm?../" + VideoFolder(n) +
                          "/lecture\">观看讲课视频</a></li>",
                      "<li><a href=\"讲解.wma\">收听本章讲解</a></li>",
                      "</ul>",
                      "</body>",
                      "</html>",
                  });
}

std::string SectionPage(int n, int section) {
    std::string title = "第" + std::to_string(n) + "章 第" + std::to_string(section) + "节";
    return HtmlHead(title) +
           JoinLines({
               "</head>",
               "<body>",
               "<h3>" + title + "</h3>",
               "<p>本节介绍" + ChapterTitle(n) + "的基本概念和操作方法，请结合视频学习。</p>",
               "<p><a href=\"index.htm\">返回本章</a></p>",
               "</body>",
               "</html>",
           });
}

std::string ExercisePage(int n) {
    return HtmlHead("习题") + JoinLines({
                                  "</head>",
                                  "<body>",
                                  "<h3>第" + std::to_string(n) + "章 习题</h3>",
                                  "<ol>",
                                  "<li>简述" + ChapterTitle(n) + "的主要内容。</li>",
                                  "<li>完成本章的上机练习。</li>",
                                  "</ol>",
                                  "</body>",
                                  "</html>",
                              });
}

std::string AppendixPage(const SampleCourseOptions& o) {
    return HtmlHead("说明") + JoinLines({
                                  "</head>",
                                  "<body>",
                                  "<p>" + o.courseName + "共两张光盘，请按顺序安装。</p>",
                                  "</body>",
                                  "</html>",
                              });
}

}  // namespace sample
