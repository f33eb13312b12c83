// The Qt renderer: work handed to the GUI thread, coalesced progress and
// text updates, window placement, message boxes and shutdown.
#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/ui/qt/qt_renderer.h"
#include "platform/ui/qt/tests/qt_test_support.h"

namespace ui::qt::test {
namespace {

class QtRendererTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureApp(); }
    void TearDown() override { m_renderer.Shutdown(); }

    CQtDialog* Open(HWND dlg, const DialogTemplate& t) {
        m_renderer.DialogOpened(dlg, t, nullptr);
        m_renderer.DialogStarted(dlg);
        EXPECT_TRUE(ProcessUntil([&] {
            CQtDialog* d = m_renderer.FindDialog(dlg);
            return d != nullptr && d->isVisible();
        }));
        return m_renderer.FindDialog(dlg);
    }

    QProgressBar* Bar(HWND dlg, int id) {
        return qobject_cast<QProgressBar*>(m_renderer.FindDialog(dlg)->Control(id));
    }

    CQtRenderer m_renderer;
};

TEST_F(QtRendererTest, DialogOpensShowsAndCloses) {
    const HWND dlg = FakeWindow(1);
    CQtDialog* dialog = Open(dlg, ProgressTemplate());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->TemplateId(), 130);
    m_renderer.DialogClosed(dlg, IDOK);
    EXPECT_TRUE(ProcessUntil([&] { return m_renderer.FindDialog(dlg) == nullptr; }));
    // Late notices for a closed dialog are dropped.
    m_renderer.ProgressChanged(dlg, 1000, 5);
    m_renderer.ControlTextChanged(dlg, 1011, "x");
    m_renderer.WindowShown(dlg, SW_SHOW);
    Drain();
    EXPECT_EQ(m_renderer.FindDialog(dlg), nullptr);
}

TEST_F(QtRendererTest, ManyNoticesBecomeOneUpdateShowingTheLastValues) {
    const HWND dlg = FakeWindow(2);
    ASSERT_NE(Open(dlg, ProgressTemplate()), nullptr);
    const std::uint64_t before = m_renderer.GuiUpdates();
    // The GUI runs nothing while these arrive: they all wait in one update.
    for (int i = 0; i <= 100000; ++i) {
        m_renderer.ProgressChanged(dlg, 1000, i % 101);
        m_renderer.ProgressChanged(dlg, 1001, (i * 7) % 101);
    }
    m_renderer.ControlTextChanged(dlg, 1011, "C:\\a.htm");
    m_renderer.ControlTextChanged(dlg, 1011, "C:\\course\\b.htm");
    Drain();
    EXPECT_EQ(m_renderer.GuiUpdates(), before + 1);
    EXPECT_EQ(Bar(dlg, 1000)->value(), 100000 % 101);
    EXPECT_EQ(Bar(dlg, 1001)->value(), (100000 * 7) % 101);
    auto* path = qobject_cast<QLabel*>(m_renderer.FindDialog(dlg)->Control(1011));
    EXPECT_EQ(path->text(), QStringLiteral("C:\\course\\b.htm"));

    // The next notice schedules a new update.
    m_renderer.ProgressChanged(dlg, 1000, 3);
    Drain();
    EXPECT_EQ(m_renderer.GuiUpdates(), before + 2);
    EXPECT_EQ(Bar(dlg, 1000)->value(), 3);
}

TEST_F(QtRendererTest, FloodFromAWorkerThreadWhileTheGuiRuns) {
    const HWND dlg = FakeWindow(3);
    ASSERT_NE(Open(dlg, ProgressTemplate()), nullptr);
    constexpr int kCalls = 1000000;
    constexpr int kLast = 61;
    const std::uint64_t before = m_renderer.GuiUpdates();
    std::atomic<bool> done{false};
    double seconds = 0;
    std::thread worker([&] {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kCalls - 1; ++i) {
            m_renderer.ProgressChanged(dlg, 1000, i % 100);
        }
        m_renderer.ProgressChanged(dlg, 1000, kLast);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        done = true;
    });
    const bool finished = ProcessUntil([&] { return done.load(); }, 120000);
    worker.join();
    ASSERT_TRUE(finished);
    ASSERT_TRUE(ProcessUntil([&] { return Bar(dlg, 1000)->value() == kLast; }));
    const std::uint64_t updates = m_renderer.GuiUpdates() - before;
    std::printf(
        "[ figures  ] %d ProgressChanged calls in %.3f s (%.0f calls/s), %llu GUI updates\n",
        kCalls, seconds, kCalls / seconds, static_cast<unsigned long long>(updates));
    EXPECT_LE(updates, static_cast<std::uint64_t>(kCalls));
    EXPECT_GE(updates, 1u);
}

TEST_F(QtRendererTest, PlacementTopmostAndVisibility) {
    const HWND dlg = FakeWindow(4);
    CQtDialog* dialog = Open(dlg, LoginTemplate());
    ASSERT_NE(dialog, nullptr);
    m_renderer.WindowPlaced(dlg, HWND_TOPMOST, true, 300, 200);
    Drain();
    EXPECT_TRUE(dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->pos(), QPoint(300, 200));

    m_renderer.WindowPlaced(dlg, HWND_NOTOPMOST, false, 0, 0);
    Drain();
    EXPECT_FALSE(dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(dialog->isVisible());

    m_renderer.WindowShown(dlg, SW_HIDE);
    Drain();
    EXPECT_FALSE(dialog->isVisible());
    m_renderer.WindowShown(dlg, SW_SHOW);
    Drain();
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(QtRendererTest, MessageBoxOpensOverItsOwnerAndCloses) {
    const HWND dlg = FakeWindow(5);
    CQtDialog* owner = Open(dlg, ProgressTemplate());
    ASSERT_NE(owner, nullptr);
    MessageBoxInfo info;
    info.box = FakeWindow(6);
    info.owner = dlg;
    info.text = "错误的用户名或密码";
    info.caption = "corvane";
    info.type = MB_OK | MB_TOPMOST;
    m_renderer.MessageBoxOpened(info);
    ASSERT_TRUE(ProcessUntil([&] {
        CQtMessageBox* box = m_renderer.FindMessageBox(info.box);
        return box != nullptr && box->isVisible();
    }));
    CQtMessageBox* box = m_renderer.FindMessageBox(info.box);
    EXPECT_EQ(box->parentWidget(), owner);
    EXPECT_TRUE(box->isWindow());
    EXPECT_TRUE(box->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);

    m_renderer.MessageBoxClosed(info.box, IDOK, false);
    EXPECT_TRUE(ProcessUntil([&] { return m_renderer.FindMessageBox(info.box) == nullptr; }));
    EXPECT_NE(m_renderer.FindDialog(dlg), nullptr);
}

TEST_F(QtRendererTest, NothingHappensAfterShutdown) {
    const HWND dlg = FakeWindow(7);
    QPointer<CQtDialog> dialog = Open(dlg, ProgressTemplate());
    ASSERT_FALSE(dialog.isNull());
    m_renderer.ProgressChanged(dlg, 1000, 50);
    m_renderer.Shutdown();
    EXPECT_TRUE(dialog.isNull());  // windows are gone at once
    m_renderer.DialogOpened(FakeWindow(8), ProgressTemplate(), nullptr);
    m_renderer.DialogStarted(FakeWindow(8));
    m_renderer.ProgressChanged(dlg, 1000, 60);
    MessageBoxInfo info;
    info.box = FakeWindow(9);
    m_renderer.MessageBoxOpened(info);
    Drain();
    EXPECT_EQ(m_renderer.FindDialog(FakeWindow(8)), nullptr);
    EXPECT_EQ(m_renderer.FindMessageBox(FakeWindow(9)), nullptr);
}

}  // namespace
}  // namespace ui::qt::test
