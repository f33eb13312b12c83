// Snapshots: dialogs and message boxes drawn offscreen into numbered PNGs.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <cstdlib>

#include "platform/ui/qt/dialog_widget.h"
#include "platform/ui/qt/images.h"
#include "platform/ui/qt/message_box_widget.h"
#include "platform/ui/qt/snapshot.h"
#include "platform/ui/qt/tests/qt_test_support.h"

namespace ui::qt::test {
namespace {

class SnapshotTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApp();
        RegisterDefaultImages();
    }
};

QSize FramedSize(const QSize& client, bool captioned) {
    return QSize(client.width() + 2 * kSnapshotBorder,
                 client.height() + 2 * kSnapshotBorder + (captioned ? kSnapshotCaption : 0));
}

TEST_F(SnapshotTest, DialogImageHasTheDialogsSizeAndShowsItsPicture) {
    const DialogTemplate t = ProgressTemplate();
    const QImage image = RenderDialogImage(FakeWindow(1), t, nullptr);
    CQtDialog dialog(FakeWindow(1), t, false);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), FramedSize(dialog.size(), true));

    // The middle of bitmap 137 is drawn (a blue picture), the dialog's
    // background beside it is not.
    const QPoint origin(kSnapshotBorder, kSnapshotBorder + kSnapshotCaption);
    const QRect picture = dialog.Units().Rect(6, 14, 49, 106).translated(origin);
    const QColor inside = image.pixelColor(picture.left() + 3, picture.center().y());
    EXPECT_GT(inside.blue(), inside.red() + 40);
    const QColor background = image.pixelColor(origin + QPoint(2, dialog.height() - 3));
    EXPECT_EQ(background, dialog.palette().color(QPalette::Window));
}

TEST_F(SnapshotTest, SnapshotShowsTheStateAtTheTime) {
    const DialogTemplate t = ProgressTemplate();
    WindowState state;
    state.title = t.title;
    for (const ControlTemplate& c : t.controls) {
        ControlState cs;
        cs.id = c.id;
        cs.text = c.text;
        state.controls.push_back(cs);
    }
    state.controls[7].pos = 100;  // the overall progress bar, full
    const QImage empty = RenderDialogImage(FakeWindow(2), t, nullptr);
    const QImage full = RenderDialogImage(FakeWindow(2), t, &state);
    ASSERT_EQ(empty.size(), full.size());
    CQtDialog dialog(FakeWindow(2), t, false);
    const QRect bar = dialog.Units()
                          .Rect(107, 157, 200, 15)
                          .translated(kSnapshotBorder, kSnapshotBorder + kSnapshotCaption);
    const QPoint probe(bar.right() - 6, bar.center().y());
    EXPECT_NE(empty.pixelColor(probe), full.pixelColor(probe));
}

TEST_F(SnapshotTest, MessageBoxButtonsFollowTheType) {
    MessageBoxInfo info;
    info.text = "找不到setup.ini文件";
    info.caption = "install";
    info.type = MB_OK | MB_ICONINFORMATION;
    CQtMessageBox ok(info, false);
    EXPECT_EQ(ok.ButtonIds(), std::vector<int>({IDOK}));
    EXPECT_EQ(ok.EscapeId(), IDOK);
    EXPECT_EQ(ok.windowTitle(), QStringLiteral("install"));

    info.type = MB_OKCANCEL | MB_ICONEXCLAMATION;
    CQtMessageBox okCancel(info, false);
    EXPECT_EQ(okCancel.ButtonIds(), std::vector<int>({IDOK, IDCANCEL}));
    EXPECT_EQ(okCancel.EscapeId(), IDCANCEL);

    info.type = MB_YESNO;
    CQtMessageBox yesNo(info, false);
    EXPECT_EQ(yesNo.ButtonIds(), std::vector<int>({IDYES, IDNO}));
    EXPECT_EQ(yesNo.EscapeId(), 0);  // no way out but an answer
    EXPECT_FALSE(yesNo.windowFlags().testFlag(Qt::WindowCloseButtonHint));

    const QImage image = RenderMessageBoxImage(info);
    EXPECT_FALSE(image.isNull());
    EXPECT_GT(image.width(), 100);
    EXPECT_GT(image.height(), kSnapshotCaption + 30);
}

TEST_F(SnapshotTest, ObserverWritesNumberedPngsIntoANewFolder) {
    const CTempDir root;
    ASSERT_FALSE(root.Path().empty());
    const std::string dir = root.Path() + "/shots/run";
    CSnapshotObserver observer(dir);
    ASSERT_TRUE(QDir(QString::fromStdString(dir)).exists());

    const DialogTemplate t = ProgressTemplate();
    observer.DialogOpened(FakeWindow(3), t, nullptr);
    observer.DialogStarted(FakeWindow(3));
    MessageBoxInfo info;
    info.box = FakeWindow(4);
    info.text = "您将退出";
    info.caption = "install";
    info.type = MB_OKCANCEL | MB_ICONINFORMATION;
    observer.MessageBoxOpened(info);
    ASSERT_TRUE(ProcessUntil([&] { return observer.Written() == 2; }));

    const QDir folder(QString::fromStdString(dir));
    QImage dialogShot(folder.filePath(QStringLiteral("0001-dialog-130.png")));
    QImage boxShot(folder.filePath(QStringLiteral("0002-messagebox.png")));
    ASSERT_FALSE(dialogShot.isNull());
    ASSERT_FALSE(boxShot.isNull());
    CQtDialog dialog(FakeWindow(3), t, false);
    EXPECT_EQ(dialogShot.size(), FramedSize(dialog.size(), true));
    EXPECT_EQ(boxShot.size(), RenderMessageBoxImage(info).size());

    // A dialog the observer never saw open is not drawn.
    observer.DialogStarted(FakeWindow(99));
    observer.DialogClosed(FakeWindow(3), IDOK);
    observer.DialogStarted(FakeWindow(3));
    Drain();
    EXPECT_EQ(observer.Written(), 2);
    observer.Shutdown();
}

TEST_F(SnapshotTest, NumberingContinuesAfterFilesAlreadyThere) {
    const CTempDir temp;
    const std::string& dir = temp.Path();
    ASSERT_FALSE(dir.empty());
    const QDir folder(QString::fromStdString(dir));
    QFile old(folder.filePath(QStringLiteral("0007-dialog-211.png")));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();

    CSnapshotObserver observer(dir);
    observer.DialogOpened(FakeWindow(5), LoginTemplate(), nullptr);
    observer.DialogStarted(FakeWindow(5));
    ASSERT_TRUE(ProcessUntil([&] { return observer.Written() == 1; }));
    EXPECT_EQ(observer.LastPath(), folder.filePath(QStringLiteral("0008-dialog-211.png")));
    QFile kept(folder.filePath(QStringLiteral("0007-dialog-211.png")));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("old"));
    observer.Shutdown();
}

TEST_F(SnapshotTest, ObserverDoesNothingAfterShutdown) {
    const CTempDir temp;
    const std::string& dir = temp.Path();
    CSnapshotObserver observer(dir);
    observer.DialogOpened(FakeWindow(6), MainTemplate(), nullptr);
    observer.DialogStarted(FakeWindow(6));
    observer.Shutdown();  // the queued drawing is dropped
    observer.DialogStarted(FakeWindow(6));
    Drain();
    EXPECT_EQ(observer.Written(), 0);
    EXPECT_TRUE(QDir(QString::fromStdString(dir)).entryList(QDir::Files).isEmpty());
}

// Writes the install progress dialog where TELVORA_SNAPSHOT_OUT says, for a
// person to look at; always checks the picture it would write.
TEST_F(SnapshotTest, ProgressDialogPicture) {
    const QImage image = RenderDialogImage(FakeWindow(7), ProgressTemplate(), nullptr);
    ASSERT_FALSE(image.isNull());
    const char* out = std::getenv("TELVORA_SNAPSHOT_OUT");
    if (out != nullptr && *out != '\0') {
        EXPECT_TRUE(image.save(QString::fromUtf8(out), "PNG"));
        const QString base = QString::fromUtf8(out).chopped(4);
        MessageBoxInfo info;
        info.text = "您将退出安装程序。";
        info.caption = "install";
        info.type = MB_OKCANCEL | MB_ICONEXCLAMATION;
        RenderMessageBoxImage(info).save(base + QStringLiteral("-box.png"), "PNG");
    }
}

}  // namespace
}  // namespace ui::qt::test
