// The course browser on the installed sample course, offscreen, driven by a
// script of steps: the frameset, a real click on 内容更新 reaching the
// update control in its host, a page's synchronous call, a media link and
// the self-test's message box.
#include <filesystem>
#include <fstream>
#include <thread>  // std::chrono (<chrono> itself holds text GBK cannot)

#include "platform/fs/fs.h"
#include "platform/net/tests/test_http_server.h"
#include "platform/process/process.h"
#include "platform/registry/registry.h"
#include "platform/text/text.h"
#include "tests/e2e/e2e_support.h"

namespace fs = std::filesystem;

namespace {

constexpr int kWaitMs = 60000;  // reached only when something is wrong

std::string U8(const char8_t* s) {
    return reinterpret_cast<const char*>(s);
}

class BrowserTest : public E2eTest {
protected:
    void SetUp() override {
        E2eTest::SetUp();
        const std::string sample = MakeSample("sample");
        // Installed without the streaming media: lectures stay on the CDs.
        ASSERT_EQ(Run(Bin("telvora-setup"),
                      {"--cd-folder", sample + "/cd1", "--drive", "E:", "--dest",
                       m_root + "/courses", "--media", "no", "--no-menu-entry"},
                      "dialog 138 : insert E: \"" + sample + "/cd2\" ; press 1\n"),
                  0);
        m_course = m_root + "/courses/jsjyy01";
        // The second CD stays in the drive.
        ASSERT_TRUE(SetDriveTarget('e', sample + "/cd2", true));
        fs::remove(m_transcript);
    }

    struct CRun {
        int status = -1;
        std::string out;
    };
    // Runs the browser on a page of the course with these steps (UTF-8) and
    // these answers for the control host's windows (GBK).
    CRun Browse(const std::string& page, const std::string& steps,
                const std::string& answers = "") {
        const std::string script = m_root + "/steps-" + std::to_string(++m_runs) + ".txt";
        WriteFile(script, steps);
        const std::string answerFile = m_root + "/answers.txt";
        WriteFile(answerFile, text::GbkToUtf8(answers));
        CRun run;
        run.status =
            RunProgramAndWait("/bin/sh",
                              {"-c", "exec \"$0\" \"$1\" >\"$2\" 2>\"$3\"", Bin("telvora-browser"),
                               m_course + "/" + page, m_root + "/out.txt", m_root + "/err.txt"},
                              {{"QT_QPA_PLATFORM", "offscreen"},
                               {"TELVORA_BROWSER_SCRIPT", script},
                               {"TELVORA_UI", "headless"},
                               {"TELVORA_ANSWERS", answerFile},
                               {"TELVORA_ANSWER_TIMEOUT", "10"},
                               {"TELVORA_TRANSCRIPT", m_transcript},
                               {"XDG_RUNTIME_DIR", m_root},
                               {"DISPLAY", "", true},
                               {"WAYLAND_DISPLAY", "", true}});
        run.out = ReadFile(m_root + "/out.txt");
        EXPECT_EQ(run.status, 0) << ReadFile(m_root + "/err.txt");
        return run;
    }

    // The control host ends on its own once the browser has gone (after an
    // update it runs): its end is in the transcript.
    void WaitForTheHost() {
        for (int waited = 0; ExitCodes("telvora-ocx").empty() && waited < kWaitMs; waited += 20)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_FALSE(ExitCodes("telvora-ocx").empty()) << "the control host did not end";
    }

    std::string m_course;
    int m_runs = 0;
};

TEST_F(BrowserTest, TheUpdateLinkReachesTheControlAndPagesCallItSynchronously) {
    // The update server records the query (which names the course's folder
    // and version that HtmlInfo read) and has nothing new.
    const std::string asked = m_root + "/asked";
    CTestHttpServer server(
        [&](CTestConnection& c) {
            std::ofstream(asked) << c.Target();
            c.Send(HttpAnswer(200, "<html><body>NoUpdate</body></html>"));
        },
        2);
    ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, "Software\\Telvora\\Update", "Server",
                             "127.0.0.1:" + std::to_string(server.Port())));
    const CRun run = Browse("index.htm",
                            "[index.htm]\n"
                            "wait-load 60\n"
                            "js 0 courseID\n"
                            "js 1 document.getElementsByTagName('li').length\n"
                            "wait 30 navbar typeof UpDate !== 'undefined'\n"
                            "js navbar UpDate.GetCdDrive()\n" +
                                U8(u8"click navbar 内容更新\n") + "wait-file 60 " + asked +
                                "\n"
                                "quit\n",
                            "dialog 211 : type 211 \"alice\" ; type 208 \"pw\" ; press 1\n");
    // The frameset's frames and their scripts: the course id of the first,
    // the chapter list items.vbs made.
    EXPECT_NE(run.out.find("js: \"jsjyy01\"\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("js: 6\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("js: \"E:\\\\\"\n"), std::string::npos) << run.out;
    WaitForTheHost();
    // HtmlInfo with the course id, then Download: the login, then the query.
    std::vector<std::string> dialogs;
    for (const TranscriptEvent& e : Events("dialog"))
        if (e.at("op") == "open")
            dialogs.push_back(e.at("id"));
    EXPECT_EQ(dialogs, std::vector<std::string>{"211"});
    EXPECT_NE(ReadFile(asked).find("fileid=jsjyy01"), std::string::npos) << ReadFile(asked);
    EXPECT_NE(ReadFile(asked).find("versnumber=0"), std::string::npos) << ReadFile(asked);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{U("此课程没有更新内容")});
}

TEST_F(BrowserTest, MediaLinksAndTheLectureOnTheCdGoToThePlayer) {
    // The player notes each file it is given in a file of its own.
    const std::string played = m_root + "/played";
    fs::create_directories(played);
    const std::string player = m_root + "/player";
    WriteFile(player, "#!/bin/sh\nprintf '%s\\n' \"$1\" > \"" + played + "/$(basename \"$1\")\"\n");
    fs::permissions(player, fs::perms::owner_all);
    ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, "Software\\Telvora\\Substitutes", "wmplayer.exe",
                             player + " %*"));
    // The lecture of chapter 1 is on CD 1; CD 2 is in the drive. The page
    // asks for CD 1 through RightMFile; the answer puts it in. The chapter's
    // audio was copied into the course.
    const std::string cd1 = m_root + "/sample/cd1";
    const std::string audio = "/content/chapter01/" + U("讲解.wma");
    fs::copy_file(cd1 + audio, m_course + audio);
    const CRun run = Browse("index.htm",
                            "[index.htm]\n"
                            "wait-load 60\n" +
                                U8(u8"click main 收听本章讲解\n") + "wait-file 30 " + played +
                                U8(u8"/讲解.wma\n") + U8(u8"click main 观看讲课视频\n") +
                                "wait 30 main document.getElementsByTagName('button').length > 0\n"
                                "js main document.getElementsByTagName('button')[0].click()\n"
                                "wait-file 30 " +
                                played +
                                "/lecture.wmv\n"
                                "quit\n",
                            "dialog 221 : insert E: \"" + cd1 + "\" ; press 1\n");
    // The chapter's own audio, from the course; the lecture, from the CD.
    EXPECT_EQ(ReadFile(played + "/" + U("讲解.wma")), m_course + audio + "\n");
    EXPECT_EQ(ReadFile(played + "/lecture.wmv"), cd1 + "/content/video01/lecture.wmv\n");
    std::vector<std::string> prompts;
    for (const TranscriptEvent& e : Events("dialog"))
        if (e.at("op") == "open")
            prompts.push_back(e.at("id"));
    EXPECT_EQ(prompts, std::vector<std::string>{"221"}) << run.out;
    WaitForTheHost();
}

TEST_F(BrowserTest, TheSelfTestScoresInAMessageBox) {
    const CRun run =
        Browse(U("content/chapter01/习题.htm"),
               "[*]\n"
               "wait-load 60\n"
               "js top (document.forms[0].q1[1].checked = true,"
               " document.forms[0].q2[0].checked = true)\n" +
                   U8(u8"click top 交卷\n") + "js top (document.forms[0].q2[1].checked = true)\n" +
                   U8(u8"click top 交卷\n") + "js top 1\n" + "quit\n");
    EXPECT_NE(run.out.find(U8(u8"dialog: 全部答对，得分：100 分。\n")), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find(U8(u8"dialog: 得分：50 分，请复习本章后再做一遍。\n")),
              std::string::npos)
        << run.out;
}

}  // namespace
