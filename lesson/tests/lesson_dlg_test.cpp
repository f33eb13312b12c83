// The launcher's main dialog run in this process, with a stand-in for the
// update control: what it hands to the control and when, the messages of its
// start, and the state it leaves the dialog in.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "common/program_codes.h"
#include "lesson/lesson_dlg.h"
#include "lesson/resources.h"
#include "lesson/tests/stand_in_control.h"
#include "platform/fs/fs.h"
#include "platform/registry/registry.h"
#include "platform/ui/hosting.h"
#include "platform/ui/renderer.h"
#include "platform/ui/tests/test_support.h"

namespace fs = std::filesystem;

namespace {

struct CBox {
    std::string text;
    std::string caption;
    HWND owner = nullptr;
    UINT type = 0;
};

// Presses OK on every message box and on the about box, and keeps what the
// boxes said.
class CBoxAnswerer : public ui::CQuietRenderer {
public:
    void DialogStarted(HWND dlg) override {
        ui::WindowState state;
        if (ui::GetWindowState(dlg, &state) && state.templateId == IDD_ABOUTBOX) {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_aboutBoxes;
            ui::PressButton(dlg, IDOK, true);
        }
    }
    void MessageBoxOpened(const ui::MessageBoxInfo& info) override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_boxes.push_back(CBox{info.text, info.caption, info.owner, info.type});
        }
        ui::PressButton(info.box, IDOK, true);
    }
    std::vector<CBox> Boxes() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_boxes;
    }
    std::vector<std::string> Texts() {
        std::vector<std::string> texts;
        for (const CBox& box : Boxes())
            texts.push_back(box.text);
        return texts;
    }
    int AboutBoxes() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_aboutBoxes;
    }

private:
    std::mutex m_mutex;
    std::vector<CBox> m_boxes;
    int m_aboutBoxes = 0;
};

// A machine whose own name resolves to the loopback address only.
class CLoopbackOnlyDlg : public CLessonDlg {
protected:
    BOOL HasNetworkAddress() override { return FALSE; }
};

using Strings = std::vector<std::string>;

class LessonDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/telvora-lesson-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_root = tmpl;
        setenv("TELVORA_PREFIX", (m_root + "/prefix").c_str(), 1);
        Write(m_root + "/mounts", "");
        setenv("TELVORA_MOUNTS_FILE", (m_root + "/mounts").c_str(), 1);
        // A course folder with a blank in its path, as users name them.
        m_course = m_root + "/my courses/c1";
        fs::create_directories(m_course + "/bin");
        m_courseWin = ToWindowsPath(m_course).value_or("?");
        SetProgramPath((m_course + "/bin/lesson").c_str());
        SetAppName("lesson");
        WriteIni("version=20040301\r\ncourseid=c1\r\ndefault=index.htm\r\n");
        PutRecord("software\\telvora\\c1", "20050101");
        PutRecord("software\\telvora\\c1\\1", m_courseWin);
        // The browser is a program that does nothing here; what the real
        // program starts is the end-to-end tests' business.
        ASSERT_TRUE(RegPutString(HKEY_LOCAL_MACHINE, "Software\\Telvora\\Substitutes",
                                 "iexplore.exe", "/bin/true %*"));
        RegisterLessonResources();
        UseStandInControls(m_log);
        ui::ClearRenderers();
        ui::SetPrimaryRenderer(m_boxes);
    }

    void TearDown() override {
        ui::ClearRenderers();
        ui::SetHostedControlFactory({});
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }

    static void Write(const std::string& path, const std::string& bytes) {
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    }
    void WriteIni(const std::string& text) { Write(m_course + "/setup.ini", text); }
    static void PutRecord(const std::string& key, const std::string& value) {
        ASSERT_TRUE(RegPutString(HKEY_CURRENT_USER, key, "", value));
    }

    // Runs the dialog on a thread of its own, so that its quit requests stay
    // there; *quit gets the quit code left pending at its end (-1: none).
    INT_PTR Run(CLessonDlg& dlg, int* quit = nullptr) {
        INT_PTR result = 0;
        uitest::RunOnFreshThread([&] {
            result = dlg.DoModal();
            int code = -1;
            if (!IsQuitPending(&code))
                code = -1;
            if (quit)
                *quit = code;
        });
        return result;
    }

    std::string m_root;
    std::string m_course;
    std::string m_courseWin;
    // Written on the dialog's thread, read once that thread has ended.
    std::shared_ptr<CStandInLog> m_log = std::make_shared<CStandInLog>();
    std::shared_ptr<CBoxAnswerer> m_boxes = std::make_shared<CBoxAnswerer>();
};

const std::string kHostedClsid = std::string("{") + kUpdateControlClsid + "}";

TEST_F(LessonDlgTest, HandsTheRecordedVersionAndFolderToTheControlInSilentMode) {
    CLessonDlg dlg;
    int quit = 0;
    EXPECT_EQ(Run(dlg, &quit), IDCANCEL);
    EXPECT_EQ(quit, kQuitLessonDone);
    EXPECT_EQ(m_log->Calls(), (Strings{"create " + kHostedClsid, "load", "putinfo", "download"}));
    // The record's version wins over setup.ini's.
    EXPECT_EQ(m_log->version, "20050101");
    EXPECT_EQ(m_log->folder, m_courseWin);
    EXPECT_EQ(m_log->showWindow, 0);
    // The property-set version 0x00010000 and the control's size.
    EXPECT_EQ(m_log->loadedState, "_Version=65536\n_ExtentX=60\n_ExtentY=25\n_StockProps=0\n");
    EXPECT_EQ(m_log->quitAtDownload, 0);
    EXPECT_TRUE(m_boxes->Boxes().empty());
    EXPECT_EQ(dlg.m_strCourseDir, m_courseWin + "\\");
}

TEST_F(LessonDlgTest, TheDialogStaysHiddenAndKeepsItsMenuEntryAndIcons) {
    ui::WindowState during;
    LRESULT dragIcon = 0;
    m_log->onDownload = [&](HWND control) {
        HWND dialog = GetParent(control);
        ui::GetWindowState(dialog, &during);
        dragIcon = SendMessage(dialog, WM_QUERYDRAGICON, 0, 0);
        // The entry's command, whatever its lowest four bits, runs the about box.
        SendMessage(dialog, WM_SYSCOMMAND, IDM_ABOUTBOX | 0x3, 0);
    };
    CLessonDlg dlg;
    Run(dlg);
    EXPECT_FALSE(during.visible);
    EXPECT_TRUE(during.moved);
    EXPECT_EQ(during.x, 0);
    EXPECT_EQ(during.y, 0);
    EXPECT_FALSE(during.topmost);
    EXPECT_EQ(dragIcon, IDR_MAINFRAME);
    EXPECT_EQ(m_boxes->AboutBoxes(), 1);

    ASSERT_EQ(dlg.SystemMenu().size(), 2u);
    EXPECT_TRUE(dlg.SystemMenu()[0].separator);
    EXPECT_FALSE(dlg.SystemMenu()[1].separator);
    EXPECT_EQ(dlg.SystemMenu()[1].commandId, 16u);
    EXPECT_EQ(dlg.SystemMenu()[1].text, "关于 lesson(&A)...");
    EXPECT_EQ(dlg.GetIcon(true), IDR_MAINFRAME);
    EXPECT_EQ(dlg.GetIcon(false), IDR_MAINFRAME);
}

TEST_F(LessonDlgTest, WithoutARecordTheVersionOfSetupIniIsPassed) {
    ASSERT_EQ(RegDeleteTree(HKEY_CURRENT_USER, "software\\telvora\\c1"), ERROR_SUCCESS);
    CLessonDlg dlg;
    int quit = 0;
    Run(dlg, &quit);
    // The folder key is missing too: that passes an empty folder silently.
    ASSERT_EQ(m_boxes->Texts(), (Strings{"open register error"}));
    const CBox box = m_boxes->Boxes().front();
    EXPECT_EQ(box.caption, "lesson");
    EXPECT_NE(box.owner, nullptr);
    EXPECT_EQ(m_log->version, "20040301");
    EXPECT_EQ(m_log->folder, "");
    EXPECT_EQ(quit, kQuitLessonDone);
}

TEST_F(LessonDlgTest, ValuesThatDoNotFitTheBufferAreNotRead) {
    const std::string longest(99, 'v');
    const std::string tooLong(100, 'v');
    // A version one character too long; a folder exactly as long as fits.
    PutRecord("software\\telvora\\c1", tooLong);
    PutRecord("software\\telvora\\c1\\1", "D:\\" + longest.substr(3));
    {
        CLessonDlg dlg;
        Run(dlg);
    }
    EXPECT_EQ(m_boxes->Texts(), (Strings{"read register error"}));
    EXPECT_EQ(m_log->version, "20040301");
    EXPECT_EQ(m_log->folder, "D:\\" + longest.substr(3));

    // The other way round, and a number where the version's text belongs.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "software\\telvora\\c1", &key), ERROR_SUCCESS);
    const DWORD number = 20050101;
    ASSERT_EQ(RegSetValueEx(key, nullptr, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                            sizeof number),
              ERROR_SUCCESS);
    RegCloseKey(key);
    PutRecord("software\\telvora\\c1\\1", "D:\\" + tooLong.substr(3));
    m_log = std::make_shared<CStandInLog>();
    UseStandInControls(m_log);
    {
        CLessonDlg dlg;
        Run(dlg);
    }
    EXPECT_EQ(m_boxes->Texts(),
              (Strings{"read register error", "read register error", "read register error"}));
    EXPECT_EQ(m_log->version, "20040301");
    EXPECT_EQ(m_log->folder, "");
    EXPECT_EQ(m_log->Calls().back(), "download");
}

TEST_F(LessonDlgTest, ARefusedPutInfoIsToldAndNoUpdateRuns) {
    m_log->putInfoResult = FALSE;
    CLessonDlg dlg;
    int quit = 0;
    Run(dlg, &quit);
    EXPECT_EQ(m_boxes->Texts(), (Strings{"version or path error."}));
    EXPECT_EQ(m_log->Calls(), (Strings{"create " + kHostedClsid, "load", "putinfo"}));
    EXPECT_EQ(quit, kQuitLessonDone);
}

TEST_F(LessonDlgTest, AFailingControlCallIsShownAndTheLauncherStillEnds) {
    m_log->putInfoFails = true;
    CLessonDlg dlg;
    int quit = 0;
    Run(dlg, &quit);
    ASSERT_EQ(m_boxes->Boxes().size(), 1u);
    EXPECT_EQ(m_boxes->Boxes()[0].type & MB_ICONINFORMATION, MB_ICONINFORMATION);
    EXPECT_EQ(m_log->Calls().back(), "putinfo");
    EXPECT_EQ(quit, kQuitLessonDone);
}

TEST_F(LessonDlgTest, WithoutSetupIniNothingIsReadOrHandedOn) {
    // A launcher placed in the course folder itself reads the parent's setup.ini.
    SetProgramPath((m_course + "/lesson").c_str());
    CLessonDlg dlg;
    int quit = 0;
    Run(dlg, &quit);
    EXPECT_EQ(m_boxes->Texts(), (Strings{".ini file can't find"}));
    EXPECT_EQ(m_log->Calls(), (Strings{"create " + kHostedClsid, "load"}));
    // WM_QUIT posted to the dialog, not a quit request with a code.
    EXPECT_EQ(quit, 0);
}

TEST_F(LessonDlgTest, OnALoopbackOnlyMachineTheUpdateMeetsAPendingQuit) {
    CLoopbackOnlyDlg dlg;
    int quit = 0;
    Run(dlg, &quit);
    EXPECT_EQ(m_log->quitAtDownload, kQuitNoNetwork);
    EXPECT_EQ(m_log->version, "20050101");
    // The start's own end request comes last.
    EXPECT_EQ(quit, kQuitLessonDone);
}

TEST_F(LessonDlgTest, AControlThatCannotBeMadeEndsTheDialogBeforeItsStart) {
    UseStandInControls(nullptr);
    CLessonDlg dlg;
    int quit = 0;
    EXPECT_EQ(Run(dlg, &quit), -1);
    EXPECT_EQ(quit, -1);
    EXPECT_TRUE(m_boxes->Boxes().empty());
    EXPECT_TRUE(dlg.SystemMenu().empty());
    EXPECT_EQ(dlg.m_strCourseDir, "");
}

}  // namespace
