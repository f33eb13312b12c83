// Hosted controls in Qt dialogs: what the control drew is painted in its
// place, in live windows (read from the control's window) and in snapshots
// (a copy taken when the dialog appeared).
#include <gtest/gtest.h>

#include <QImage>

#include "platform/ui/drawing.h"
#include "platform/ui/qt/dialog_widget.h"
#include "platform/ui/qt/snapshot.h"
#include "platform/ui/qt/tests/qt_test_support.h"

namespace ui::qt::test {
namespace {

constexpr int kHosted = 1028;

DialogTemplate HostTemplate() {
    DialogTemplate d = MakeDialog(9500, "lesson", 120, 60);
    ControlTemplate hosted = MakeControl(ControlKind::HostedControl, kHosted, "", 20, 10, 60, 25);
    hosted.clsid = "{742FCBC2-1DA1-40C9-B8CE-7AE456142AD9}";
    d.controls = {hosted};
    return d;
}

// The update control's figure: a white field with an inscribed ellipse.
WindowDrawing Figure() {
    CDC dc;
    const RECT bounds{0, 0, 60, 25};
    dc.FillRect(bounds, GetStockBrush(WHITE_BRUSH));
    dc.Ellipse(bounds);
    return WindowDrawing{bounds, dc.Operations()};
}

bool IsWhite(const QColor& c) {
    return c.red() == 255 && c.green() == 255 && c.blue() == 255;
}
bool IsDark(const QColor& c) {
    return c.red() < 128 && c.green() < 128 && c.blue() < 128;
}

class HostedControlWidgetTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureApp(); }
};

TEST_F(HostedControlWidgetTest, SnapshotPaintsTheFigureInTheControlsPlace) {
    const DialogTemplate t = HostTemplate();
    const std::map<int, WindowDrawing> drawings{{kHosted, Figure()}};
    const QImage image = RenderDialogImage(FakeWindow(31), t, nullptr, &drawings);
    const QImage bare = RenderDialogImage(FakeWindow(31), t, nullptr);
    CQtDialog dialog(FakeWindow(31), t, false);
    const QPoint origin(kSnapshotBorder, kSnapshotBorder + kSnapshotCaption);
    const QRect place = dialog.Units().Rect(20, 10, 60, 25).translated(origin);

    // White in the middle and in the corners the ellipse leaves, its black
    // outline at the middle of the left edge.
    EXPECT_TRUE(IsWhite(image.pixelColor(place.center())));
    EXPECT_TRUE(IsWhite(image.pixelColor(place.topLeft() + QPoint(1, 1))));
    EXPECT_TRUE(IsWhite(image.pixelColor(place.bottomRight() - QPoint(1, 1))));
    bool outline = false;
    for (int dx = 0; dx < 3; ++dx) {
        outline = outline || IsDark(image.pixelColor(place.left() + dx, place.center().y()));
    }
    EXPECT_TRUE(outline);
    // Outside the control the dialog is untouched; without a drawing the
    // place is an empty frame.
    EXPECT_EQ(image.pixelColor(place.left() - 4, place.center().y()),
              bare.pixelColor(place.left() - 4, place.center().y()));
    EXPECT_FALSE(IsWhite(bare.pixelColor(place.center())));
}

TEST_F(HostedControlWidgetTest, LiveDialogsReadTheControlsWindow) {
    HWND dlg = CreateWindowWithProc(nullptr, nullptr, "lesson");
    HWND control = CreateWindowWithProc(nullptr, dlg, "", false, kHosted);
    ASSERT_NE(control, nullptr);
    CQtDialog dialog(dlg, HostTemplate(), true);
    const QRect place = dialog.Units().Rect(20, 10, 60, 25);

    QImage before = dialog.grab().toImage();
    EXPECT_FALSE(IsWhite(before.pixelColor(place.center())));
    ASSERT_TRUE(SetWindowDrawing(control, Figure()));
    QImage after = dialog.grab().toImage();
    EXPECT_TRUE(IsWhite(after.pixelColor(place.center())));

    // The control's window goes, and its drawing with it.
    RemoveWindowDrawing(control);
    DestroyWindow(dlg);
    QImage gone = dialog.grab().toImage();
    EXPECT_FALSE(IsWhite(gone.pixelColor(place.center())));
    EXPECT_FALSE(SetWindowDrawing(control, Figure()));  // a stale handle keeps nothing
}

}  // namespace
}  // namespace ui::qt::test
