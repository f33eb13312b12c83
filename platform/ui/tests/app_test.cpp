#include "platform/ui/app.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "platform/fs/fs.h"
#include "platform/ui/tests/test_support.h"

using uitest::RunOnFreshThread;

namespace {

class CQuitApp : public CWinApp {
public:
    int m_mode = 0;
    BOOL InitInstance() override {
        switch (m_mode) {
            case 0:  // the installer's shape: a quit requested, no loop of its own
                PostQuitMessage(1011);
                return FALSE;
            case 1:  // the program ends from deep inside its start
                ExitThread(1008);
            default:  // a loop of its own that a quit ends
                PostMessage(nullptr, WM_USER, 0, 0);
                PostQuitMessage(1003);
                return TRUE;
        }
    }
};

TEST(App, ExitCodeIsTheQuitCodeOrTheThreadEnd) {
    for (int mode : {0, 1, 2}) {
        int code = -1;
        RunOnFreshThread([&] {
            CQuitApp app;
            app.m_mode = mode;
            code = RunApp(app);
        });
        EXPECT_EQ(code, mode == 0 ? 1011 : mode == 1 ? 1008 : 1003) << mode;
    }
    int none = -1;
    RunOnFreshThread([&] {
        CWinApp plain;
        none = plain.ExitInstance();
    });
    EXPECT_EQ(none, 0);
}

class AppProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(mkdtemp(m_dir), nullptr);
        m_transcript = std::string(m_dir) + "/transcript.jsonl";
        setenv("TELVORA_PREFIX", m_dir, 1);
        setenv("TELVORA_UI", "headless", 1);
        setenv("TELVORA_TRANSCRIPT", m_transcript.c_str(), 1);
        unsetenv("TELVORA_ANSWERS");
        unsetenv("TELVORA_SNAPSHOTS");
    }
    void TearDown() override {
        unsetenv("TELVORA_TRANSCRIPT");
        unsetenv("TELVORA_UI");
        unsetenv("TELVORA_ANSWERS");
        unsetenv("TELVORA_ANSWER_TIMEOUT");
        std::error_code error;
        std::filesystem::remove_all(m_dir, error);
    }
    std::string Transcript() {
        std::ifstream file(m_transcript);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    char m_dir[32] = "/tmp/telvora-app-XXXXXX";
    std::string m_transcript;
};

TEST_F(AppProgram, StatusIsTheLowBitsAndTheTranscriptKeepsTheWholeCode) {
    int status = -1;
    RunOnFreshThread([&] {
        char arg0[] = "/usr/bin/install";
        char* argv[] = {arg0, nullptr};
        status = RunProgram(1, argv, "install", [] {
            EXPECT_EQ(GetAppName(), "install");
            return 1011;
        });
    });
    EXPECT_EQ(status, 243);
    EXPECT_EQ(Transcript(), "{\"ev\":\"exit\",\"program\":\"install\",\"code\":1011}\n");
}

TEST_F(AppProgram, ExitThreadInTheProgramGivesItsCode) {
    int status = -1;
    RunOnFreshThread([&] {
        char arg0[] = "lesson";
        char* argv[] = {arg0, nullptr};
        status = RunProgram(1, argv, "lesson", []() -> int { ExitThread(1006); });
    });
    EXPECT_EQ(status, 1006 & 0xFF);
    EXPECT_NE(Transcript().find("\"code\":1006"), std::string::npos);
}

TEST_F(AppProgram, UncaughtErrorEndsWithItsCodeInsteadOfACrash) {
    int status = -1;
    RunOnFreshThread([&] {
        char arg0[] = "lesson";
        char* argv[] = {arg0, nullptr};
        status = RunProgram(1, argv, "lesson",
                            []() -> int { throw CFrameworkError("disk", ERROR_ACCESS_DENIED); });
    });
    EXPECT_EQ(status, static_cast<int>(ERROR_ACCESS_DENIED));
}

TEST_F(AppProgram, UnmatchedMessageBoxGetsItsDefaultInAHeadlessRun) {
    int result = 0;
    RunOnFreshThread([&] {
        char arg0[] = "install";
        char* argv[] = {arg0, nullptr};
        RunProgram(1, argv, "install", [&] {
            result = AfxMessageBox("找不到setup.ini文件", MB_OKCANCEL);
            return 1008;
        });
    });
    EXPECT_EQ(result, IDOK);
    std::string transcript = Transcript();
    EXPECT_NE(transcript.find("\"ev\":\"messagebox\""), std::string::npos);
    EXPECT_NE(transcript.find("\"caption\":\"install\""), std::string::npos);
    EXPECT_NE(transcript.find("\"answered\":false"), std::string::npos);
}

TEST_F(AppProgram, AnswersAndTimeOutComeFromTheEnvironment) {
    uitest::RegisterTestDialogs();
    std::string answers = std::string(m_dir) + "/answers.txt";
    {
        std::ofstream file(answers);
        file << "dialog 500 : insert e: \"" << m_dir << "\" ; press 1\n"
             << "dialog 500 press 2\n";  // bad: reported, ignored
    }
    setenv("TELVORA_ANSWERS", answers.c_str(), 1);
    setenv("TELVORA_ANSWER_TIMEOUT", "0.05", 1);
    INT_PTR first = 0, second = 0;
    std::optional<std::string> target;
    testing::internal::CaptureStderr();
    RunOnFreshThread([&] {
        char arg0[] = "install";
        char* argv[] = {arg0, nullptr};
        RunProgram(1, argv, "install", [&] {
            CDialog one(uitest::kDialogForm);
            first = one.DoModal();
            target = DriveTarget('e');
            CDialog two(uitest::kDialogForm);  // no rule left: the time-out cancels it
            second = two.DoModal();
            return 0;
        });
    });
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(first, IDOK);
    EXPECT_EQ(second, IDCANCEL);
    ASSERT_TRUE(target.has_value());
    EXPECT_EQ(*target, m_dir);
    EXPECT_NE(errors.find(answers + ":2: "), std::string::npos) << errors;
    std::string transcript = Transcript();
    EXPECT_NE(transcript.find("{\"ev\":\"timeout\",\"dialog\":500,\"action\":\"cancel\"}"),
              std::string::npos);
}

TEST_F(AppProgram, ABadTimeOutFallsBackToTheDefault) {
    setenv("TELVORA_ANSWER_TIMEOUT", "soon", 1);
    testing::internal::CaptureStderr();
    RunOnFreshThread([&] {
        char arg0[] = "install";
        char* argv[] = {arg0, nullptr};
        RunProgram(1, argv, "install", [] { return 0; });
    });
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("TELVORA_ANSWER_TIMEOUT=soon"), std::string::npos) << errors;
}

}  // namespace
