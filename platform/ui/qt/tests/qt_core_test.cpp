// The Qt renderer driving real dialogs of the window core: what the user
// does in a widget reaches the program's dialog, what the program changes
// reaches the widgets.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "platform/ui/qt/qt_renderer.h"
#include "platform/ui/qt/snapshot.h"
#include "platform/ui/qt/tests/qt_test_support.h"
#include "platform/ui/renderer.h"
#include "platform/ui/ui.h"

namespace ui::qt::test {
namespace {

enum : UINT { kMsgWiden = WM_APP + 1, kMsgFlood };
constexpr int kFloodCalls = 1000000;
constexpr int kFloodLast = 77;

class CLoginProbe : public CDialog {
public:
    CLoginProbe() : CDialog(211) {
        BindText(211, &m_strUser);
        BindText(208, &m_strPassword);
    }
    std::string m_strUser;
    std::string m_strPassword;
};

// The progress dialog as a copying program drives it.
class CProgressProbe : public CDialog {
public:
    CProgressProbe() : CDialog(130) {}
    std::atomic<double> m_floodSeconds{0};

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        SetDlgItemText(m_hWnd, 1011, "C:\\course\\12\\index.htm");
        SendDlgItemMessage(m_hWnd, 1000, PBM_SETPOS, 40, 0);
        return TRUE;
    }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == kMsgWiden) {
            // A new range, told to nobody but the core.
            SendDlgItemMessage(m_hWnd, 1000, PBM_SETRANGE, 0, MAKELPARAM(0, 1000));
            SendDlgItemMessage(m_hWnd, 1000, PBM_SETPOS, 900, 0);
            return 0;
        }
        if (msg == kMsgFlood) {
            // Every call moves the bar, so every one reaches the renderers.
            const auto start = std::chrono::steady_clock::now();
            for (int i = 0; i < kFloodCalls - 1; ++i) {
                SendDlgItemMessage(m_hWnd, 1001, PBM_SETPOS, static_cast<WPARAM>(i % 2), 0);
            }
            SendDlgItemMessage(m_hWnd, 1001, PBM_SETPOS, kFloodLast, 0);
            m_floodSeconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            return 0;
        }
        return CDialog::WindowProc(msg, wParam, lParam);
    }
};

class QtCoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApp();
        RegisterDialogTemplate(LoginTemplate());
        RegisterDialogTemplate(NoticeTemplate());
        RegisterDialogTemplate(ProgressTemplate());
        m_renderer = std::make_shared<CQtRenderer>();
        ui::SetPrimaryRenderer(m_renderer);
    }
    void TearDown() override {
        if (m_program.joinable()) {
            m_program.join();
        }
        m_renderer->Shutdown();
        ui::ClearRenderers();
    }

    // Runs body on a program thread of its own.
    void StartProgram(std::function<void()> body) {
        m_program = std::thread([this, body] {
            body();
            m_bDone = true;
        });
    }
    bool WaitProgram() {
        const bool ended = ProcessUntil([this] { return m_bDone.load(); });
        if (ended) {
            m_program.join();
        }
        return ended;
    }

    CQtDialog* WaitDialog(int templateId) {
        CQtDialog* found = nullptr;
        ProcessUntil([&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* d = dynamic_cast<CQtDialog*>(w);
                if (d != nullptr && d->TemplateId() == templateId && d->isVisible() &&
                    m_renderer->FindDialog(d->Hwnd()) == d) {
                    found = d;
                    return true;
                }
            }
            return false;
        });
        return found;
    }

    CQtMessageBox* WaitMessageBox() {
        CQtMessageBox* found = nullptr;
        ProcessUntil([&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* b = dynamic_cast<CQtMessageBox*>(w);
                if (b != nullptr && b->isVisible()) {
                    found = b;
                    return true;
                }
            }
            return false;
        });
        return found;
    }

    static void Type(QWidget* widget, const QString& s) {
        widget->setFocus();
        for (QChar c : s) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QCoreApplication::sendEvent(widget, &press);
        }
    }

    std::shared_ptr<CQtRenderer> m_renderer;
    std::thread m_program;
    std::atomic<bool> m_bDone{false};
};

TEST_F(QtCoreTest, TypingAndOkReachTheProgramsDialog) {
    std::atomic<INT_PTR> result{-99};
    std::string user, password;
    StartProgram([&] {
        CLoginProbe dialog;
        result = dialog.DoModal();
        user = dialog.m_strUser;
        password = dialog.m_strPassword;
    });
    CQtDialog* dialog = WaitDialog(211);
    ASSERT_NE(dialog, nullptr);
    const HWND hwnd = dialog->Hwnd();
    Type(dialog->Control(211), QStringLiteral("alice"));
    Type(dialog->Control(208), QStringLiteral("secret"));
    EXPECT_EQ(GetDlgItemText(hwnd, 211), "alice");
    EXPECT_EQ(GetDlgItemText(hwnd, 208), "secret");
    // The core's reports of the typed text leave the fields as typed.
    Drain();
    EXPECT_EQ(qobject_cast<QLineEdit*>(dialog->Control(211))->text(), QStringLiteral("alice"));

    qobject_cast<QPushButton*>(dialog->Control(IDOK))->click();
    ASSERT_TRUE(WaitProgram());
    EXPECT_EQ(result.load(), IDOK);
    EXPECT_EQ(user, "alice");
    EXPECT_EQ(password, "secret");
    EXPECT_TRUE(ProcessUntil([&] { return m_renderer->FindDialog(hwnd) == nullptr; }));
}

TEST_F(QtCoreTest, EscapeCancelsAndTheCloseBoxClosesThroughTheProgram) {
    std::atomic<INT_PTR> first{-99};
    std::atomic<INT_PTR> second{-99};
    StartProgram([&] {
        CDialog login(211);
        first = login.DoModal();
        CDialog notice(138);
        second = notice.DoModal();
    });
    CQtDialog* login = WaitDialog(211);
    ASSERT_NE(login, nullptr);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(login, &escape);
    CQtDialog* notice = WaitDialog(138);
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(first.load(), IDCANCEL);
    notice->close();  // refused here: the program decides, and it cancels
    ASSERT_TRUE(WaitProgram());
    EXPECT_EQ(second.load(), IDCANCEL);
}

TEST_F(QtCoreTest, MessageBoxAnswerIsTheButtonPressed) {
    std::atomic<int> result{-99};
    StartProgram([&] {
        result = MessageBox(nullptr, "您将退出", "install", MB_OKCANCEL | MB_ICONINFORMATION);
    });
    CQtMessageBox* box = WaitMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("install"));
    QPushButton* cancel = nullptr;
    for (QPushButton* b : box->findChildren<QPushButton*>()) {
        if (b->text() == Gbk("取消")) {
            cancel = b;
        }
    }
    ASSERT_NE(cancel, nullptr);
    cancel->click();
    ASSERT_TRUE(WaitProgram());
    EXPECT_EQ(result.load(), IDCANCEL);
}

TEST_F(QtCoreTest, EnterInAQuestionWhoseDefaultIsNoAnswersNo) {
    // The focused button of a dialog is the one Enter presses: the default
    // must be the one that has the focus when the box comes up.
    std::atomic<int> result{-99};
    StartProgram([&] {
        result = MessageBox(nullptr, "删除课件？", "课件卸载",
                            MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2);
    });
    CQtMessageBox* box = WaitMessageBox();
    ASSERT_NE(box, nullptr);
    QApplication::setActiveWindow(box);
    ASSERT_TRUE(ProcessUntil([&] { return QApplication::focusWidget() != nullptr; }));
    auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget());
    ASSERT_NE(focused, nullptr);
    EXPECT_EQ(focused->text(), Gbk("否(&N)"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(focused, &enter);
    ASSERT_TRUE(WaitProgram());
    EXPECT_EQ(result.load(), IDNO);
}

TEST_F(QtCoreTest, ProgramChangesReachTheWidgetsAndTheSnapshot) {
    const CTempDir dir;
    auto snapshots = std::make_shared<CSnapshotObserver>(dir.Path());
    ui::AddObserver(snapshots);
    std::atomic<INT_PTR> result{-99};
    CProgressProbe probe;
    StartProgram([&] { result = probe.DoModal(); });
    CQtDialog* dialog = WaitDialog(130);
    ASSERT_NE(dialog, nullptr);
    auto* bar = qobject_cast<QProgressBar*>(dialog->Control(1000));
    auto* path = qobject_cast<QLabel*>(dialog->Control(1011));
    EXPECT_TRUE(ProcessUntil([&] { return bar->value() == 40; }));
    EXPECT_EQ(path->text(), QStringLiteral("C:\\course\\12\\index.htm"));
    EXPECT_TRUE(ProcessUntil([&] { return snapshots->Written() == 1; }));

    PostMessage(dialog->Hwnd(), kMsgWiden, 0, 0);
    EXPECT_TRUE(ProcessUntil([&] { return bar->value() == 900; }));
    EXPECT_EQ(bar->maximum(), 1000);

    // The program's own thread sets positions as fast as it can.
    const std::uint64_t before = m_renderer->GuiUpdates();
    PostMessage(dialog->Hwnd(), kMsgFlood, 0, 0);
    auto* current = qobject_cast<QProgressBar*>(dialog->Control(1001));
    EXPECT_TRUE(ProcessUntil([&] { return probe.m_floodSeconds.load() > 0; }, 120000));
    EXPECT_TRUE(ProcessUntil([&] { return current->value() == kFloodLast; }));
    const double seconds = probe.m_floodSeconds.load();
    std::printf(
        "[ figures  ] %d PBM_SETPOS through the core in %.3f s (%.0f/s), %llu GUI updates\n",
        kFloodCalls, seconds, kFloodCalls / seconds,
        static_cast<unsigned long long>(m_renderer->GuiUpdates() - before));

    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(dialog, &escape);
    ASSERT_TRUE(WaitProgram());
    EXPECT_EQ(result.load(), IDCANCEL);
    snapshots->Shutdown();
}

}  // namespace
}  // namespace ui::qt::test
