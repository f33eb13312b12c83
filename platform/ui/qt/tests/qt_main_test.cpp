// The Qt program entry: the program's main on a second thread, the GUI on
// this one, snapshots with and without windows, and the end of it all.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QThread>
#include <cstdlib>
#include <stdexcept>

#include "platform/ui/qt/qt_main.h"
#include "platform/ui/qt/tests/qt_test_support.h"
#include "platform/ui/renderer.h"
#include "platform/ui/ui.h"

namespace ui::qt::test {
namespace {

// Ends itself with IDOK once it runs, as if the user had pressed OK.
class CSelfClosing : public CDialog {
public:
    CSelfClosing() : CDialog(130) {}

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        SetDlgItemText(m_hWnd, 1011, "C:\\course\\index.htm");
        PostMessage(m_hWnd, WM_COMMAND, IDOK, 0);
        return TRUE;
    }
};

class QtMainTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ui::ClearRenderers();
        RegisterDialogTemplate(ProgressTemplate());
    }
    void TearDown() override { ui::ClearRenderers(); }

    int Run(bool showWindows, const std::string& dir, const std::function<int()>& main) {
        static char name[] = "qt_main_tests";
        static char* argv[] = {name, nullptr};
        return RunWithQt(1, argv, showWindows, dir, main);
    }
};

TEST_F(QtMainTest, SnapshotsWithoutWindowsAndTheProgramsResult) {
    const CTempDir temp;
    const std::string dir = temp.Path() + "/shots";
    bool onMainThread = true;
    const int code = Run(false, dir, [&] {
        onMainThread = QApplication::instance()->thread() == QThread::currentThread();
        CSelfClosing dialog;
        return static_cast<int>(dialog.DoModal()) + 1000;
    });
    EXPECT_EQ(code, 1000 + IDOK);
    EXPECT_FALSE(onMainThread);
    EXPECT_EQ(QApplication::instance(), nullptr);  // the application has ended
    const QImage shot(QDir(QString::fromStdString(dir)).filePath("0001-dialog-130.png"));
    EXPECT_FALSE(shot.isNull());
    EXPECT_GT(shot.width(), 300);
}

TEST_F(QtMainTest, WindowsShownByTheQtRendererAndHarmlessAfterTheEnd) {
    const int code = Run(true, "", [] {
        CSelfClosing dialog;
        return static_cast<int>(dialog.DoModal());
    });
    EXPECT_EQ(code, IDOK);
    // The renderer stays registered until the program entry clears it;
    // windows opened now reach a renderer whose GUI is gone.
    CSelfClosing late;
    EXPECT_EQ(late.DoModal(), IDOK);
}

TEST_F(QtMainTest, ProgramErrorsComeBackToTheCaller) {
    EXPECT_THROW(Run(true, "", []() -> int { throw std::runtime_error("broken"); }),
                 std::runtime_error);
    // A second application after the first one ended.
    EXPECT_EQ(Run(false, "", [] { return 7; }), 7);
}

TEST_F(QtMainTest, WindowsWithoutADisplayEndWithAMessageInsteadOfAnAbort) {
    unsetenv("QT_QPA_PLATFORM");
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    bool ran = false;
    const int code = Run(true, "", [&] {
        ran = true;
        return 0;
    });
    EXPECT_EQ(code, 1);
    EXPECT_FALSE(ran);
    // Snapshots alone need no display.
    EXPECT_EQ(Run(false, "", [] { return 5; }), 5);
}

}  // namespace
}  // namespace ui::qt::test
