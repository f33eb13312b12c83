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

std::string BackslashPath(const std::string& path) {
    std::string out = path;
    for (char& c : out) {
        if (c == '/')
            c = '\\';
    }
    return out;
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
        "  clip = unescape(clip);",
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
    // The list is the chapter script's: items.vbs names the chapters and
    // the first one this CD's installation shows (the installer sets it to
    // 1 once the last CD is in).
    return HtmlHead("章节目录") +
           JoinLines({
               "<script language=\"VBScript\" src=\"items.vbs\"></script>",
               "</head>",
               "<body>",
               "<h4>" + o.courseName + "</h4>",
               "<ul>",
               "<script language=\"VBScript\">",
               "Dim i",
               "For i = startchapter To chaptercount",
               "  document.write \"<li><a href=\"\"../content/chapter\" & Right(\"0\" & i, 2) & _",
               "    \"/index.htm\"\" target=\"\"main\"\">\" & chapters(i) & \"</a></li>\"",
               "Next",
               "</script>",
               "</ul>",
               "</body>",
               "</html>",
           });
}

std::string ChapterIndexPage(int n, int sections) {
    std::string title = "第" + std::to_string(n) + "章 " + ChapterTitle(n);
    const std::string video = VideoFolder(n);
    std::string page = HtmlHead(title) +
                       JoinLines({
                           "<script language=\"VBScript\">",
                           "' 讲课视频：装了流媒体的课件在自己的文件夹里找，否则到光盘上找。",
                           "Sub PlayLecture()",
                           "  Dim ctl, folder, clip",
                           "  On Error Resume Next",
                           "  Set ctl = top.frames(0).UpDate",
                           "  folder = ctl.FindInfo(top.frames(0).courseID & \"\\1\")",
                           "  clip = folder & \"\\" + BackslashPath(video) + "\\lecture.asf\"",
                           "  If Not ctl.FindFile(clip) Then",
                           "    clip = ctl.RightMFile(folder & \"\\setup.ini\", \"" + std::to_string(n) +
                               "\", \"../" + video + "/lecture.asf\")",
                           "  End If",
                           "  If Err.Number <> 0 Or clip = \"False\" Or clip = \"\" Then",
                           "    MsgBox \"没有找到本章的讲课视频。\", vbExclamation, \"讲课视频\"",
                           "    Exit Sub",
                           "  End If",
                           "  location.href = \"../../navbar/tvInclude.htm?\" & Left(clip, Len(clip) - 4)",
                           "End Sub",
                           "</script>",
                           "</head>",
                           "<body>",
                           "<h2>" + title + "</h2>",
                           "<ul>",
                       });
    for (int s = 1; s <= sections; ++s) {
        page += JoinLines({"<li><a href=\"s" + std::to_string(s) + ".htm\">第" + std::to_string(s) +
                           "节</a></li>"});
    }
    return page + JoinLines({
                      "<li><a href=\"习题.htm\">本章自测</a></li>",
                      "<li><a href=\"vbscript:PlayLecture()\">观看讲课视频</a></li>",
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
    // A self-test: two questions, a score and the verdict in a message box.
    return HtmlHead("习题自测") +
           JoinLines({
               "<script language=\"VBScript\">",
               "Function Score()",
               "  Dim s",
               "  s = 0",
               "  If document.forms(0).q1(1).checked Then s = s + 50",
               "  If document.forms(0).q2(0).checked Then s = s + 50",
               "  Score = s",
               "End Function",
               "Sub Submit_OnClick()",
               "  Dim s",
               "  s = Score()",
               "  If s = 100 Then",
               "    MsgBox \"全部答对，得分：\" & s & \" 分。\", vbInformation, \"自测\"",
               "  Else",
               "    MsgBox \"得分：\" & s & \" 分，请复习本章后再做一遍。\", vbExclamation, \"自测\"",
               "  End If",
               "End Sub",
               "</script>",
               "</head>",
               "<body>",
               "<h3>第" + std::to_string(n) + "章 习题自测</h3>",
               "<form>",
               "<p>1. " + ChapterTitle(n) + "是本课程的第几章？<br>",
               "<input type=\"radio\" name=\"q1\" value=\"a\">第" + std::to_string(n + 1) + "章",
               "<input type=\"radio\" name=\"q1\" value=\"b\">第" + std::to_string(n) + "章</p>",
               "<p>2. 学完本章后应完成上机练习吗？<br>",
               "<input type=\"radio\" name=\"q2\" value=\"a\">应该",
               "<input type=\"radio\" name=\"q2\" value=\"b\">不必</p>",
               "<p><input type=\"button\" id=\"Submit\" value=\"交卷\"></p>",
               "</form>",
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
