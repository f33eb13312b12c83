#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "platform/ui/hosting.h"
#include "platform/ui/renderer.h"
#include "platform/ui/tests/test_support.h"
#include "platform/ui/ui.h"

using namespace uitest;

namespace {

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterTestDialogs();
        m_recorder = std::make_shared<CRecorder>();
        m_renderers = std::make_unique<CScopedRenderers>(m_recorder);
    }
    void TearDown() override {
        m_renderers.reset();
        ui::SetHostedControlFactory(nullptr);
    }

    std::vector<std::string> Kinds() {
        std::vector<std::string> kinds;
        for (auto& e : m_recorder->Events()) {
            kinds.push_back(e.kind);
        }
        return kinds;
    }

    std::shared_ptr<CRecorder> m_recorder;
    std::unique_ptr<CScopedRenderers> m_renderers;
};

// The form dialog with its two edits bound to members.
class CFormDlg : public CDialog {
public:
    CFormDlg() : CDialog(kDialogForm) {
        BindText(1002, &m_strName);
        BindText(1003, &m_strPassword);
    }
    std::string m_strName = "初值";
    std::string m_strPassword;
    bool m_bInitRan = false;
    HWND m_hEditSeen = nullptr;
    std::function<void(CFormDlg&)> onInit;

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        m_bInitRan = true;
        m_hEditSeen = GetDlgItem(m_hWnd, 1002);
        if (onInit) {
            onInit(*this);
        }
        return TRUE;
    }
};

TEST_F(DialogTest, PressedOkReadsTheBoundControlsBack) {
    m_recorder->onStarted = [](HWND dlg) {
        ui::TypeText(dlg, 1002, "张三");
        ui::TypeText(dlg, 1003, "secret");
        ui::PressButton(dlg, IDOK, true);
    };
    RunOnFreshThread([&] {
        CFormDlg dlg;
        EXPECT_EQ(dlg.DoModal(), IDOK);
        EXPECT_EQ(dlg.m_strName, "张三");
        EXPECT_EQ(dlg.m_strPassword, "secret");
        EXPECT_NE(dlg.m_hEditSeen, nullptr);
        EXPECT_EQ(dlg.GetSafeHwnd(), nullptr);  // the window is gone after the end
    });
    auto opens = m_recorder->OfKind("open");
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0].id, kDialogForm);
    EXPECT_EQ(opens[0].text, "测试对话框");
    auto presses = m_recorder->OfKind("press");
    ASSERT_EQ(presses.size(), 1u);
    EXPECT_EQ(presses[0].id, IDOK);
    EXPECT_TRUE(presses[0].flag);
    auto closes = m_recorder->OfKind("closed");
    ASSERT_EQ(closes.size(), 1u);
    EXPECT_EQ(closes[0].value, IDOK);
    // Typed texts reach the renderers too, before the press.
    auto kinds = Kinds();
    auto firstText = std::find(kinds.begin(), kinds.end(), "text");
    auto press = std::find(kinds.begin(), kinds.end(), "press");
    EXPECT_LT(firstText, press);
}

TEST_F(DialogTest, StartShowsTheTextsSetDuringInit) {
    ui::WindowState seen;
    m_recorder->onStarted = [&](HWND dlg) {
        ui::GetWindowState(dlg, &seen);
        ui::RequestClose(dlg);
    };
    RunOnFreshThread([&] {
        CFormDlg dlg;
        dlg.onInit = [](CFormDlg& d) { SetDlgItemText(d.GetSafeHwnd(), 1001, "请输入"); };
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);  // WM_CLOSE is the dialog's Cancel
    });
    EXPECT_EQ(seen.templateId, kDialogForm);
    ASSERT_EQ(seen.controls.size(), 7u);  // template order
    EXPECT_EQ(seen.controls[0].id, 1001);
    EXPECT_EQ(seen.controls[0].text, "请输入");
    EXPECT_EQ(seen.controls[1].text, "初值");  // bound member written at the start
    EXPECT_EQ(seen.controls[4].id, IDC_STATIC);
    EXPECT_EQ(seen.controls[4].text, "标签：");
    EXPECT_EQ(Kinds().front(), "open");
}

TEST_F(DialogTest, PendingQuitEndsTheDialogAtOnceAndIsPassedOn) {
    RunOnFreshThread([&] {
        PostQuitMessage(1006);
        CFormDlg dlg;
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
        EXPECT_TRUE(dlg.m_bInitRan);
        int code = 0;
        EXPECT_TRUE(IsQuitPending(&code));
        EXPECT_EQ(code, 1006);
    });
    // Never offered for input.
    auto kinds = Kinds();
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), "started"), 0);
    EXPECT_EQ(kinds.front(), "open");
    EXPECT_EQ(kinds.back(), "closed");
}

TEST_F(DialogTest, QuitInANestedDialogEndsEveryEnclosingLoop) {
    RunOnFreshThread([&] {
        CFormDlg outer;
        INT_PTR innerResult = 0;
        outer.onInit = [&](CFormDlg&) {
            // The outer dialog's start runs an inner one, as the installer does.
            CDialog inner(kDialogProgress);
            PostMessage(nullptr, WM_USER, 0, 0);
            PostQuitMessage(1011);
            innerResult = inner.DoModal();
        };
        EXPECT_EQ(outer.DoModal(), IDCANCEL);
        EXPECT_EQ(innerResult, IDCANCEL);
        EXPECT_EQ(RunMessageLoop(), 1011);  // and the application's loop ends too
    });
}

TEST_F(DialogTest, EndDialogBeforeTheLoopGivesItsResult) {
    RunOnFreshThread([&] {
        CFormDlg dlg;
        dlg.onInit = [](CFormDlg& d) {
            PostQuitMessage(1009);
            d.EndDialog(1008);
        };
        EXPECT_EQ(dlg.DoModal(), 1008);
        EXPECT_TRUE(IsQuitPending());
    });
}

TEST_F(DialogTest, PostedQuitEndsTheDialogAndKeepsALaterRequest) {
    RunOnFreshThread([&] {
        CFormDlg dlg;
        dlg.onInit = [](CFormDlg& d) {
            PostMessage(d.GetSafeHwnd(), WM_QUIT, 0, 0);
            PostQuitMessage(1012);
        };
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
        int code = 0;
        EXPECT_TRUE(IsQuitPending(&code));
        EXPECT_EQ(code, 1012);
    });
}

TEST_F(DialogTest, OwnerIsTheParentButNotAControlHolder) {
    HWND owner = nullptr;
    m_recorder->onStarted = [&](HWND dlg) {
        EXPECT_EQ(GetParent(dlg), owner);
        ui::WindowState state;
        ASSERT_TRUE(ui::GetWindowState(owner, &state));
        EXPECT_TRUE(state.controls.empty());
        ui::PressButton(dlg, IDOK, false);
    };
    RunOnFreshThread([&] {
        owner = CreateWindowWithProc(nullptr, nullptr, "main");
        CDialog dlg(kDialogForm, owner);
        EXPECT_EQ(dlg.DoModal(), IDOK);
        EXPECT_TRUE(IsWindow(owner));
        DestroyWindow(owner);
        // A stale owner is no reason to fail.
        m_recorder->onStarted = [](HWND dlg) { ui::PressButton(dlg, IDOK, false); };
        CDialog orphan(kDialogForm, owner);
        EXPECT_EQ(orphan.DoModal(), IDOK);
    });
}

TEST_F(DialogTest, MissingTemplateEndsWithMinusOne) {
    RunOnFreshThread([] {
        CDialog dlg(4242);
        EXPECT_EQ(dlg.DoModal(), -1);
    });
    EXPECT_TRUE(m_recorder->Events().empty());
}

UINT g_autoPlay = 0;

class CAutoPlayDlg : public CFormDlg {
protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == g_autoPlay) {
            SetWindowLongPtr(m_hWnd, DWLP_MSGRESULT, -1);
            return 1;
        }
        return CFormDlg::WindowProc(msg, wParam, lParam);
    }
};

TEST_F(DialogTest, MessageResultOfADialogHandler) {
    g_autoPlay = RegisterWindowMessage("QueryCancelAutoPlay");
    RunOnFreshThread([&] {
        CAutoPlayDlg dlg;
        LRESULT answered = 0, other = 7;
        dlg.onInit = [&](CFormDlg& d) {
            answered = SendMessage(d.GetSafeHwnd(), g_autoPlay, 0, 0);
            other = SendMessage(d.GetSafeHwnd(), WM_USER + 50, 0, 0);
            d.EndDialog(IDOK);
        };
        dlg.DoModal();
        EXPECT_EQ(answered, -1);
        EXPECT_EQ(other, 0);
    });
}

WNDPROC g_dialogOldProc = nullptr;
LRESULT DialogHook(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == g_autoPlay) {
        return 1;
    }
    return CallWindowProcA(g_dialogOldProc, hwnd, msg, wParam, lParam);
}

TEST_F(DialogTest, HookedDialogStillReachesItsHandlers) {
    g_autoPlay = RegisterWindowMessage("QueryCancelAutoPlay");
    m_recorder->onStarted = [](HWND dlg) {
        EXPECT_EQ(SendMessage(dlg, g_autoPlay, 0, 0), 1);
        ui::PressButton(dlg, IDOK, false);  // reaches OnOK through the hook
    };
    RunOnFreshThread([&] {
        CFormDlg dlg;
        dlg.onInit = [](CFormDlg& d) {
            g_dialogOldProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
                d.GetSafeHwnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DialogHook)));
        };
        EXPECT_EQ(dlg.DoModal(), IDOK);
    });
}

TEST_F(DialogTest, RenderersHearOfRealChangesOnly) {
    RunOnFreshThread([&] {
        CFormDlg dlg;
        dlg.onInit = [](CFormDlg& d) {
            HWND h = d.GetSafeHwnd();
            EXPECT_EQ(SendDlgItemMessage(h, 1004, PBM_SETPOS, 33, 0), 0);
            EXPECT_EQ(SendDlgItemMessage(h, 1004, PBM_SETPOS, 33, 0), 33);
            SendDlgItemMessage(h, 1004, PBM_SETPOS, 250, 0);  // kept inside 0..100
            EXPECT_EQ(SendDlgItemMessage(h, 1004, PBM_GETPOS, 0, 0), 100);
            SetDlgItemText(h, 1001, "C:\\course\\12\\index.htm");
            SetDlgItemText(h, 1001, "C:\\course\\12\\index.htm");
            EXPECT_EQ(GetDlgItemText(h, 1001), "C:\\course\\12\\index.htm");
            ShowWindow(h, SW_SHOWNORMAL);  // already shown
            ShowWindow(h, SW_HIDE);
            SetWindowPos(h, HWND_TOPMOST, 300, 200, 0, 0, SWP_NOSIZE);
            SetWindowPos(h, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
            ui::WindowState state;
            ui::GetWindowState(h, &state);
            EXPECT_FALSE(state.visible);
            EXPECT_FALSE(state.topmost);
            EXPECT_TRUE(state.moved);
            EXPECT_EQ(state.x, 300);
            d.EndDialog(IDOK);
        };
        dlg.DoModal();
    });
    auto progress = m_recorder->OfKind("progress");
    ASSERT_EQ(progress.size(), 2u);
    EXPECT_EQ(progress[0].value, 33);
    EXPECT_EQ(progress[1].value, 100);
    auto texts = m_recorder->OfKind("text");
    ASSERT_EQ(texts.size(), 2u);  // the bound member "初值", then the path once
    EXPECT_EQ(texts[1].text, "C:\\course\\12\\index.htm");
    auto shown = m_recorder->OfKind("shown");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].id, SW_HIDE);
    auto placed = m_recorder->OfKind("placed");
    ASSERT_EQ(placed.size(), 2u);
    EXPECT_EQ(placed[0].text, "topmost");
    EXPECT_TRUE(placed[0].flag);
    EXPECT_EQ(placed[0].value, 300);
    EXPECT_EQ(placed[0].id, 200);
    EXPECT_EQ(placed[1].text, "bottom");
    EXPECT_FALSE(placed[1].flag);
}

TEST_F(DialogTest, ChangesFromAnotherThreadAreToldOnTheOwnersThread) {
    DWORD owner = 0;
    m_recorder->onStarted = [&](HWND dlg) {
        owner = GetCurrentThreadId();
        StartThread([dlg]() -> DWORD {
            SetWindowPos(dlg, HWND_NOTOPMOST, 300, 200, 0, 0, SWP_NOSIZE);
            ShowWindow(dlg, SW_HIDE);
            SetDlgItemText(dlg, 1001, "另一个线程");
            ui::PressButton(dlg, IDCANCEL, false);
            return 0;
        });
    };
    RunOnFreshThread([&] {
        CFormDlg dlg;
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    });
    for (const char* kind : {"placed", "shown", "text", "press"}) {
        auto events = m_recorder->OfKind(kind);
        ASSERT_FALSE(events.empty()) << kind;
        EXPECT_EQ(events.back().threadId, owner) << kind;
    }
}

TEST_F(DialogTest, HostedControlWithoutFactoryEndsBeforeTheStart) {
    RunOnFreshThread([] {
        CDialog dlg(kDialogHosted);
        EXPECT_EQ(dlg.DoModal(), -1);
    });
    EXPECT_TRUE(m_recorder->Events().empty());

    ui::SetHostedControlFactory([](HWND, const ControlTemplate&, HWND*) { return false; });
    RunOnFreshThread([] {
        CDialog dlg(kDialogHosted);
        EXPECT_EQ(dlg.DoModal(), -1);
    });
    EXPECT_TRUE(m_recorder->Events().empty());
}

TEST_F(DialogTest, HostedControlBecomesAControlOfTheDialog) {
    std::string clsid;
    ui::SetHostedControlFactory([&](HWND dialog, const ControlTemplate& control, HWND* child) {
        clsid = control.clsid;
        *child = CreateWindowWithProc(nullptr, dialog, "", true, control.id);
        return *child != nullptr;
    });
    m_recorder->onStarted = [](HWND dlg) {
        HWND control = GetDlgItem(dlg, 1028);
        EXPECT_NE(control, nullptr);
        EXPECT_EQ(GetParent(control), dlg);
        ui::WindowState state;
        ui::GetWindowState(dlg, &state);
        ASSERT_EQ(state.controls.size(), 2u);
        EXPECT_EQ(state.controls[1].id, 1028);
        ui::PressButton(dlg, IDOK, false);
    };
    RunOnFreshThread([] {
        CDialog dlg(kDialogHosted);
        EXPECT_EQ(dlg.DoModal(), IDOK);
    });
    EXPECT_EQ(clsid, "{742FCBC2-1DA1-40C9-B8CE-7AE456142AD9}");
}

TEST_F(DialogTest, MessageBoxFromAWorkerWithoutWindow) {
    m_recorder->onBox = [](const ui::MessageBoxInfo& info) {
        EXPECT_EQ(info.owner, nullptr);
        ui::PressButton(info.box, IDCANCEL, true);
    };
    DWORD worker = 0;
    int result = 0;
    RunOnFreshThread([&] {
        worker = GetCurrentThreadId();
        result = MessageBox(nullptr, "网络服务器繁忙，请稍候再试。", "提示！",
                            MB_OKCANCEL | MB_ICONINFORMATION);
    });
    EXPECT_EQ(result, IDCANCEL);
    auto boxes = m_recorder->OfKind("box");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].threadId, worker);
    EXPECT_EQ(boxes[0].id, static_cast<int>(MB_OKCANCEL | MB_ICONINFORMATION));
    auto closed = m_recorder->OfKind("boxclosed");
    ASSERT_EQ(closed.size(), 1u);
    EXPECT_EQ(closed[0].value, IDCANCEL);
    EXPECT_TRUE(closed[0].flag);
}

TEST_F(DialogTest, MessageBoxKeepsHandlingTheThreadsNotices) {
    // The box is pressed only by the dialog's own notice handler: the box's
    // loop must deliver that notice.
    static HWND s_box = nullptr;
    m_recorder->onBox = [](const ui::MessageBoxInfo& info) { s_box = info.box; };
    class CNoticeDlg : public CFormDlg {
    protected:
        LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
            if (msg == WM_APP) {
                ui::PressButton(s_box, IDOK, false);
                return 1;
            }
            return CFormDlg::WindowProc(msg, wParam, lParam);
        }
    };
    RunOnFreshThread([&] {
        CNoticeDlg dlg;
        dlg.onInit = [](CFormDlg& d) {
            PostMessage(d.GetSafeHwnd(), WM_APP, 0, 0);
            EXPECT_EQ(AfxMessageBox("您将退出改课件的安装", MB_OKCANCEL), IDOK);
            d.EndDialog(1008);
        };
        EXPECT_EQ(dlg.DoModal(), 1008);
    });
}

TEST_F(DialogTest, MessageBoxEndsOnAQuitWithItsDefaultAndPassesItOn) {
    RunOnFreshThread([] {
        PostQuitMessage(1003);
        EXPECT_EQ(MessageBox(nullptr, "a", "b", MB_OKCANCEL), IDCANCEL);
        EXPECT_EQ(MessageBox(nullptr, "a", "b", MB_OK), IDOK);
        EXPECT_EQ(MessageBox(nullptr, "a", "b", MB_YESNO), IDNO);
        int code = 0;
        EXPECT_TRUE(IsQuitPending(&code));
        EXPECT_EQ(code, 1003);
    });
    auto closed = m_recorder->OfKind("boxclosed");
    ASSERT_EQ(closed.size(), 3u);
    EXPECT_FALSE(closed[0].flag);
}

TEST_F(DialogTest, MessageBoxIgnoresButtonsItLacks) {
    m_recorder->onBox = [](const ui::MessageBoxInfo& info) {
        ui::PressButton(info.box, IDYES, true);  // not on an OK/Cancel box
        ui::RequestClose(info.box);              // the close box is its Cancel
    };
    int okCancel = 0, ok = 0;
    RunOnFreshThread([&] {
        okCancel = MessageBox(nullptr, "a", "b", MB_OKCANCEL);
        ok = MessageBox(nullptr, "a", "b", MB_OK);
    });
    EXPECT_EQ(okCancel, IDCANCEL);
    EXPECT_EQ(ok, IDOK);
    SetAppName("install");
    EXPECT_EQ(GetAppName(), "install");
}

TEST_F(DialogTest, AQuestionWhoseDefaultIsNoTakesCloseAndEscapeAsNo) {
    m_recorder->onBox = [](const ui::MessageBoxInfo& info) { ui::RequestClose(info.box); };
    int safe = 0;
    RunOnFreshThread([&] { safe = MessageBox(nullptr, "a", "b", MB_YESNO | MB_DEFBUTTON2); });
    EXPECT_EQ(safe, IDNO);
    // A plain Yes/No box still has no way out but its buttons.
    m_recorder->onBox = [](const ui::MessageBoxInfo& info) {
        ui::RequestClose(info.box);
        ui::PressButton(info.box, IDYES, true);
    };
    int plain = 0;
    RunOnFreshThread([&] { plain = MessageBox(nullptr, "a", "b", MB_YESNO); });
    EXPECT_EQ(plain, IDYES);
}

}  // namespace
