#include "platform/ui/headless/headless.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>

#include "platform/ui/tests/test_support.h"

using namespace uitest;
using namespace ui::headless;

namespace {

std::string U8(const char8_t* s) {
    return reinterpret_cast<const char*>(s);
}

class HeadlessTest : public ::testing::Test {
protected:
    void SetUp() override { RegisterTestDialogs(); }
    void TearDown() override { m_renderers.reset(); }

    // Installs a headless renderer answering from text, with a recorder watching.
    void Answer(const std::string& utf8Rules, DWORD timeoutMs = 30000) {
        HeadlessOptions options;
        std::vector<std::string> errors;
        options.rules = ParseAnswers(utf8Rules, "answers.txt", &errors);
        EXPECT_TRUE(errors.empty()) << errors.front();
        options.timeoutMs = timeoutMs;
        options.insertDrive = [this](char letter, const std::string& folder) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_drives.push_back(std::string("insert ") + letter + " " + folder);
            return m_bDrivesWork;
        };
        options.ejectDrive = [this](char letter) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_drives.push_back(std::string("eject ") + letter);
            return m_bDrivesWork;
        };
        m_recorder = std::make_shared<CRecorder>();
        m_renderers.reset();
        m_renderers = std::make_unique<CScopedRenderers>(
            CreateHeadlessRenderer(std::move(options)),
            std::vector<std::shared_ptr<ui::IRenderer>>{m_recorder});
    }

    std::vector<std::string> Drives() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_drives;
    }

    std::shared_ptr<CRecorder> m_recorder;
    std::unique_ptr<CScopedRenderers> m_renderers;
    std::mutex m_mutex;
    std::vector<std::string> m_drives;
    bool m_bDrivesWork = true;
};

class CFormDlg : public CDialog {
public:
    CFormDlg() : CDialog(kDialogForm) {
        BindText(1002, &m_strName);
        BindText(1003, &m_strPassword);
    }
    std::string m_strName, m_strPassword;
};

INT_PTR RunForm(std::string* name = nullptr) {
    INT_PTR result = 0;
    RunOnFreshThread([&] {
        CFormDlg dlg;
        result = dlg.DoModal();
        if (name) {
            *name = dlg.m_strName;
        }
    });
    return result;
}

TEST_F(HeadlessTest, TypeAndPress) {
    Answer(U8(u8"dialog 500 : type 1002 \"张三\" ; type 1003 \"secret\" ; press 1\n"));
    std::string name;
    EXPECT_EQ(RunForm(&name), IDOK);
    EXPECT_EQ(name, "张三");  // typed as UTF-8, held as GBK
    auto presses = m_recorder->OfKind("press");
    ASSERT_EQ(presses.size(), 1u);
    EXPECT_EQ(presses[0].id, IDOK);
    EXPECT_TRUE(presses[0].flag);
}

TEST_F(HeadlessTest, RulesAreUsedUpInFileOrderUnlessTheyRepeat) {
    Answer("dialog 500 : press 1\ndialog 500 : press 2\n", 50);
    EXPECT_EQ(RunForm(), IDOK);
    EXPECT_EQ(RunForm(), IDCANCEL);
    // No rule left: the dialog is cancelled after the time-out.
    EXPECT_EQ(RunForm(), IDCANCEL);
    EXPECT_EQ(m_recorder->OfKind("timeout").size(), 1u);

    Answer("dialog 500 : press 1 *\ndialog 500 : press 2\n");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(RunForm(), IDOK) << i;
    }
}

TEST_F(HeadlessTest, InsertAndEjectGoToTheDriveTable) {
    Answer("dialog 500 : insert e: \"/srv/cd2\" ; eject F: ; press 1\n");
    EXPECT_EQ(RunForm(), IDOK);
    EXPECT_EQ(Drives(), (std::vector<std::string>{"insert E /srv/cd2", "eject F"}));
}

TEST_F(HeadlessTest, FailedDriveActionsDoNotStopTheRule) {
    m_bDrivesWork = false;
    Answer("dialog 500 : insert E: \"/nowhere\" ; press 1\n");
    EXPECT_EQ(RunForm(), IDOK);
    EXPECT_EQ(Drives().size(), 1u);
}

TEST_F(HeadlessTest, WaitDelaysTheRestOfTheRule) {
    Answer("dialog 500 : wait 30 ; type 1002 \"later\" ; press 1\n");
    std::string name;
    EXPECT_EQ(RunForm(&name), IDOK);
    EXPECT_EQ(name, "later");
}

TEST_F(HeadlessTest, MessageBoxRulesAndTheDefaultButton) {
    Answer(U8(u8"messagebox \"退出\" : press 2\nmessagebox \"*\" : press 1\n"));
    std::vector<int> results;
    RunOnFreshThread([&] {
        results.push_back(MessageBox(nullptr, "您将退出改课件的安装", "install", MB_OKCANCEL));
        results.push_back(MessageBox(nullptr, "其他", "install", MB_OKCANCEL));
        // Both rules used up: the default (first) button.
        results.push_back(MessageBox(nullptr, "您将退出改课件的安装", "install", MB_OKCANCEL));
        results.push_back(MessageBox(nullptr, "问题", "install", MB_YESNO));
    });
    EXPECT_EQ(results, (std::vector<int>{IDCANCEL, IDOK, IDOK, IDYES}));
    auto closed = m_recorder->OfKind("boxclosed");
    ASSERT_EQ(closed.size(), 4u);
    EXPECT_TRUE(closed[0].flag);
    EXPECT_TRUE(closed[1].flag);
    EXPECT_FALSE(closed[2].flag);
    EXPECT_FALSE(closed[3].flag);
}

TEST_F(HeadlessTest, EveryBoxIsAlsoALineOnStandardErrorAndNoCanBeTheDefault) {
    Answer(U8(u8"messagebox \"退出\" : press 2\n"));
    SetAppName("install");
    std::vector<int> results;
    testing::internal::CaptureStderr();
    RunOnFreshThread([&] {
        results.push_back(MessageBox(nullptr, "您将退出\n改课件的安装", "提示", MB_OKCANCEL));
        // A question whose default is No is answered No when no rule does.
        results.push_back(MessageBox(nullptr, "删除课件？", "课件卸载", MB_YESNO | MB_DEFBUTTON2));
    });
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(results, (std::vector<int>{IDCANCEL, IDNO}));
    EXPECT_EQ(err, U8(u8"install: 提示: 您将退出 改课件的安装\ninstall: 课件卸载: 删除课件？\n"));
}

constexpr UINT kPosNotice = WM_USER + 1;

// Progress arrives in notices from a worker; Cancel records where it was.
class CDownloadDlg : public CDialog {
public:
    explicit CDownloadDlg(int startPos) : CDialog(kDialogCancel), m_nStartPos(startPos) {}
    int m_nPosAtCancel = -1;

protected:
    BOOL OnInitDialog() override {
        SendDlgItemMessage(m_hWnd, 1000, PBM_SETPOS, m_nStartPos, 0);
        HWND self = m_hWnd;
        m_worker = StartThread([self]() -> DWORD {
            for (int pos = 0; pos <= 100; pos += 10) {
                PostMessage(self, kPosNotice, pos, 0);
            }
            return 0;
        });
        return TRUE;
    }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == kPosNotice) {
            SendDlgItemMessage(m_hWnd, 1000, PBM_SETPOS, wParam, 0);
            return 1;
        }
        return CDialog::WindowProc(msg, wParam, lParam);
    }
    void OnCancel() override {
        m_nPosAtCancel = static_cast<int>(SendDlgItemMessage(m_hWnd, 1000, PBM_GETPOS, 0, 0));
        WaitForThread(m_worker);
        CDialog::OnCancel();
    }

private:
    int m_nStartPos;
    HTHREAD m_worker;
};

TEST_F(HeadlessTest, WhenWaitsForTheProgressBar) {
    Answer("dialog 503 when 1000 >= 40 : press 2\n");
    int posAtCancel = -1;
    RunOnFreshThread([&] {
        CDownloadDlg dlg(0);
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
        posAtCancel = dlg.m_nPosAtCancel;
    });
    EXPECT_GE(posAtCancel, 40);
    // The press was made only after the bar had reached 40.
    auto events = m_recorder->Events();
    auto press = std::find_if(events.begin(), events.end(),
                              [](const Event& e) { return e.kind == "press"; });
    auto reached = std::find_if(events.begin(), events.end(), [](const Event& e) {
        return e.kind == "progress" && e.value >= 40;
    });
    ASSERT_NE(press, events.end());
    EXPECT_LT(reached, press);
    EXPECT_TRUE(m_recorder->OfKind("timeout").empty());
}

TEST_F(HeadlessTest, WhenAlreadyReachedAtTheStartAppliesAtOnce) {
    Answer("dialog 503 when 1000 >= 40 : press 2\n");
    RunOnFreshThread([&] {
        CDownloadDlg dlg(50);
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
        EXPECT_GE(dlg.m_nPosAtCancel, 0);
    });
}

TEST_F(HeadlessTest, TimeOutCancelsOrClosesAndSaysSo) {
    Answer("", 50);
    EXPECT_EQ(RunForm(), IDCANCEL);
    DialogTemplate okOnly;
    okOnly.id = 510;
    okOnly.title = "about";
    ControlTemplate ok;
    ok.kind = ControlKind::DefPushButton;
    ok.id = IDOK;
    ok.text = "OK";
    okOnly.controls = {ok};
    RegisterDialogTemplate(okOnly);
    INT_PTR closed = 0;
    RunOnFreshThread([&] {
        CDialog dlg(510);  // no Cancel button: closed instead
        closed = dlg.DoModal();
    });
    EXPECT_EQ(closed, IDCANCEL);
    auto timeouts = m_recorder->OfKind("timeout");
    ASSERT_EQ(timeouts.size(), 2u);
    EXPECT_EQ(timeouts[0].text, "cancel");
    EXPECT_EQ(timeouts[1].text, "close");
    auto presses = m_recorder->OfKind("press");
    ASSERT_EQ(presses.size(), 1u);
    EXPECT_EQ(presses[0].id, IDCANCEL);
    EXPECT_FALSE(presses[0].flag);  // not an answer from the file
}

TEST_F(HeadlessTest, AWindowWithoutButtonsOrEditsIsNeverTimedOut) {
    Answer("", 20);
    // A progress window whose work outlasts the time-out many times over.
    class CSlowWorkDlg : public CDialog {
    public:
        CSlowWorkDlg() : CDialog(kDialogProgress) {}
        HTHREAD m_worker;

    protected:
        BOOL OnInitDialog() override {
            CDialog::OnInitDialog();
            HWND self = m_hWnd;
            m_worker = StartThread([self]() -> DWORD {
                uitest::CEvent never;
                never.Wait(300);
                PostMessage(self, WM_COMMAND, IDOK, 0);
                return 0;
            });
            return TRUE;
        }
    };
    INT_PTR result = 0;
    RunOnFreshThread([&] {
        CSlowWorkDlg dlg;
        result = dlg.DoModal();
        WaitForThread(dlg.m_worker, 10000);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_TRUE(m_recorder->OfKind("timeout").empty());
}

TEST_F(HeadlessTest, ABoxWhoseRuleDoesNotPressGetsItsDefaultAfterTheTimeOut) {
    Answer("messagebox \"x\" : eject Z:\n", 50);
    int result = 0;
    RunOnFreshThread([&] { result = MessageBox(nullptr, "x", "y", MB_OKCANCEL); });
    EXPECT_EQ(result, IDOK);
    auto timeouts = m_recorder->OfKind("timeout");
    ASSERT_EQ(timeouts.size(), 1u);
    EXPECT_EQ(timeouts[0].text, "default");
}

TEST_F(HeadlessTest, ADialogBehindAMessageBoxIsNotTheOneWaiting) {
    Answer("messagebox \"inner\" : eject Z:\n", 50);
    class CAskingDlg : public CFormDlg {
    public:
        int m_nBoxResult = 0;

    protected:
        BOOL OnInitDialog() override {
            PostMessage(m_hWnd, WM_APP, 0, 0);
            return CFormDlg::OnInitDialog();
        }
        LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
            if (msg == WM_APP) {
                m_nBoxResult = MessageBox(m_hWnd, "inner", "y", MB_OKCANCEL);
                return 1;
            }
            return CFormDlg::WindowProc(msg, wParam, lParam);
        }
    };
    RunOnFreshThread([&] {
        CAskingDlg dlg;
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
        EXPECT_EQ(dlg.m_nBoxResult, IDOK);
    });
    auto timeouts = m_recorder->OfKind("timeout");
    ASSERT_EQ(timeouts.size(), 2u);
    EXPECT_EQ(timeouts[0].text, "default");  // the box first
    EXPECT_EQ(timeouts[1].text, "cancel");
}

TEST_F(HeadlessTest, WindowsEndedByAPendingQuitUseUpNoRule) {
    Answer("dialog 500 : press 1\nmessagebox \"*\" : press 2\n");
    RunOnFreshThread([] {
        PostQuitMessage(1006);
        CFormDlg dlg;
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
        EXPECT_EQ(MessageBox(nullptr, "a", "b", MB_OK), IDOK);
    });
    EXPECT_EQ(RunForm(), IDOK);
    int box = 0;
    RunOnFreshThread([&] { box = MessageBox(nullptr, "a", "b", MB_OKCANCEL); });
    EXPECT_EQ(box, IDCANCEL);
}

}  // namespace
