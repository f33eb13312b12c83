// Dialogs built from templates: placement in dialog units, texts, fonts,
// control kinds and the state the core reports.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

#include "platform/ui/qt/dialog_widget.h"
#include "platform/ui/qt/images.h"
#include "platform/ui/qt/tests/qt_test_support.h"

namespace ui::qt::test {
namespace {

class DialogWidgetTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApp();
        RegisterDefaultImages();
    }
};

// Figures of the desktop system: with the base units of its classic 8-point
// dialog font at 96 dpi (6 by 13 pixels), a 50 by 14 button is 75 by 23
// pixels; half pixels round away from zero, and rectangles map their edges.
TEST(DialogUnitsTest, ConvertAsTheDesktopSystemDoes) {
    const CDialogUnits classic(6, 13);
    EXPECT_EQ(classic.Size(50, 14), QSize(75, 23));
    EXPECT_EQ(classic.Size(322, 221), QSize(483, 359));
    EXPECT_EQ(classic.X(7), 11);   // 10.5
    EXPECT_EQ(classic.Y(4), 7);    // 6.5
    EXPECT_EQ(classic.Y(3), 5);    // 4.875
    EXPECT_EQ(classic.Y(21), 34);  // 34.125
    // Edges, not sizes: 7..57 maps to 11..86, so the width is 75 and a
    // control that starts at 57 starts exactly where this one ends.
    EXPECT_EQ(classic.Rect(7, 7, 50, 14), QRect(11, 11, 75, 23));
    EXPECT_EQ(classic.Rect(57, 7, 50, 14).left(), classic.Rect(7, 7, 50, 14).right() + 1);

    const CDialogUnits large(7, 16);
    EXPECT_EQ(large.Size(50, 14), QSize(88, 28));  // 87.5 rounds up
    EXPECT_EQ(large.X(-2), -4);                    // -3.5 rounds away from zero
}

TEST_F(DialogWidgetTest, BaseUnitsComeFromTheDialogFont) {
    CQtDialog dialog(FakeWindow(1), ProgressTemplate(), false);
    const QFontMetrics m(dialog.font());
    int narrowest = 1000, widest = 0;
    for (char c = 'A'; c <= 'z'; c = c == 'Z' ? 'a' : c + 1) {
        narrowest = std::min(narrowest, m.horizontalAdvance(QChar(c)));
        widest = std::max(widest, m.horizontalAdvance(QChar(c)));
    }
    // An average letter width lies between the narrowest and the widest letter.
    EXPECT_GE(dialog.Units().BaseX(), narrowest);
    EXPECT_LE(dialog.Units().BaseX(), widest);
    EXPECT_EQ(dialog.Units().BaseY(), m.height());
}

TEST_F(DialogWidgetTest, ControlsSitWhereTheTemplatePutsThem) {
    CQtDialog dialog(FakeWindow(1), ProgressTemplate(), false);
    const CDialogUnits& u = dialog.Units();
    ASSERT_GT(u.BaseX(), 0);
    ASSERT_GT(u.BaseY(), 0);
    EXPECT_EQ(dialog.size(), u.Size(322, 221));
    EXPECT_EQ(dialog.Control(1011)->geometry(), u.Rect(109, 65, 200, 8));
    EXPECT_EQ(dialog.Control(1001)->geometry(), u.Rect(108, 90, 200, 15));
    EXPECT_EQ(dialog.Control(1000)->geometry(), u.Rect(107, 157, 200, 15));
    EXPECT_EQ(dialog.Control(1014)->geometry(), u.Rect(97, 14, 81, 12));
    EXPECT_EQ(dialog.Control(12345), nullptr);
}

TEST_F(DialogWidgetTest, ChineseFontIsFoundAndTextsComeFromTheTemplate) {
    CQtDialog dialog(FakeWindow(2), ProgressTemplate(), false);
    // SimSun is not installed here: the font that draws must still carry
    // the Chinese glyphs of the texts.
    EXPECT_TRUE(QFontMetrics(dialog.font()).inFontUcs4(0x6B63));  // 正
    EXPECT_EQ(dialog.font().pointSize(), 9);
    EXPECT_EQ(dialog.windowTitle(), Gbk("正在安装课件内容"));
    EXPECT_EQ(dialog.windowTitle().size(), 8);
    EXPECT_EQ(dialog.windowTitle().at(0), QChar(0x6B63));

    auto* status = qobject_cast<QLabel*>(dialog.Control(1014));
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->text(), Gbk("文件拷贝中. . . "));
    auto* path = qobject_cast<QLabel*>(dialog.Control(1011));
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(path->text(), QStringLiteral("test"));

    QStringList groups;
    for (QGroupBox* g : dialog.findChildren<QGroupBox*>()) {
        groups << g->title();
    }
    EXPECT_TRUE(groups.contains(Gbk("当前文件")));
    EXPECT_TRUE(groups.contains(Gbk("全部文件")));

    for (int id : {1000, 1001}) {
        auto* bar = qobject_cast<QProgressBar*>(dialog.Control(id));
        ASSERT_NE(bar, nullptr) << id;
        EXPECT_EQ(bar->minimum(), 0);
        EXPECT_EQ(bar->maximum(), 100);
        EXPECT_EQ(bar->value(), 0);
    }
}

TEST_F(DialogWidgetTest, CaptionWithoutSystemMenuHasNoCloseBox) {
    CQtDialog progress(FakeWindow(3), ProgressTemplate(), false);
    EXPECT_TRUE(progress.windowFlags().testFlag(Qt::WindowTitleHint));
    EXPECT_FALSE(progress.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(progress.windowFlags().testFlag(Qt::WindowSystemMenuHint));

    CQtDialog notice(FakeWindow(4), NoticeTemplate(), false);
    EXPECT_TRUE(notice.windowFlags().testFlag(Qt::WindowCloseButtonHint));

    DialogTemplate bare = MainTemplate();
    bare.style = DS_MODALFRAME;
    CQtDialog frameless(FakeWindow(5), bare, false);
    EXPECT_TRUE(frameless.windowFlags().testFlag(Qt::FramelessWindowHint));
}

TEST_F(DialogWidgetTest, PasswordEditMasksAndPlainEditDoesNot) {
    CQtDialog dialog(FakeWindow(6), LoginTemplate(), false);
    auto* user = qobject_cast<QLineEdit*>(dialog.Control(211));
    auto* password = qobject_cast<QLineEdit*>(dialog.Control(208));
    ASSERT_NE(user, nullptr);
    ASSERT_NE(password, nullptr);
    EXPECT_EQ(user->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);

    dialog.SetControlText(208, "secret");
    EXPECT_EQ(password->text(), QStringLiteral("secret"));
    EXPECT_NE(password->displayText(), QStringLiteral("secret"));
    EXPECT_FALSE(password->displayText().contains(QLatin1Char('s')));
    dialog.SetControlText(211, "alice");
    EXPECT_EQ(user->displayText(), QStringLiteral("alice"));
}

TEST_F(DialogWidgetTest, ButtonsKeepTheirTextsAndTheDefaultButton) {
    CQtDialog dialog(FakeWindow(7), LoginTemplate(), false);
    auto* ok = qobject_cast<QPushButton*>(dialog.Control(IDOK));
    auto* cancel = qobject_cast<QPushButton*>(dialog.Control(IDCANCEL));
    ASSERT_NE(ok, nullptr);
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(ok->text(), Gbk("确定"));
    EXPECT_EQ(cancel->text(), Gbk("取消"));
    EXPECT_TRUE(ok->isDefault());
    EXPECT_FALSE(cancel->isDefault());
    // A line break in a static text stays a line break.
    bool found = false;
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        if (label->text().startsWith(Gbk("您现在"))) {
            found = true;
            EXPECT_EQ(label->text().count(QLatin1Char('\n')), 2);
            EXPECT_TRUE(label->wordWrap());
        }
    }
    EXPECT_TRUE(found);
}

TEST_F(DialogWidgetTest, StateFromTheCoreReplacesTextsPositionsAndVisibility) {
    CQtDialog dialog(FakeWindow(8), ProgressTemplate(), false);
    WindowState state;
    state.title = "标题";
    const DialogTemplate t = ProgressTemplate();
    for (const ControlTemplate& c : t.controls) {
        ControlState cs;
        cs.id = c.id;
        cs.text = c.text;
        state.controls.push_back(cs);
    }
    state.controls[3].text = "正在检查：";  // an unnamed static, matched by position
    state.controls[4].text = "C:\\course\\12\\表.htm";
    state.controls[5].pos = 42;
    state.controls[7].pos = 7;
    state.controls[1].visible = false;
    dialog.ApplyState(state);

    EXPECT_EQ(dialog.windowTitle(), Gbk("标题"));
    EXPECT_EQ(qobject_cast<QLabel*>(dialog.Control(1011))->text(), Gbk("C:\\course\\12\\表.htm"));
    EXPECT_EQ(qobject_cast<QProgressBar*>(dialog.Control(1001))->value(), 42);
    EXPECT_EQ(qobject_cast<QProgressBar*>(dialog.Control(1000))->value(), 7);
    EXPECT_TRUE(dialog.Control(1014)->isHidden());
    bool found = false;
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        found = found || label->text() == Gbk("正在检查：");
    }
    EXPECT_TRUE(found);
}

TEST_F(DialogWidgetTest, ProgressIsKeptInsideItsRange) {
    CQtDialog dialog(FakeWindow(9), ProgressTemplate(), false);
    auto* bar = qobject_cast<QProgressBar*>(dialog.Control(1000));
    dialog.SetProgress(1000, 250);
    EXPECT_EQ(bar->value(), 100);
    dialog.SetProgress(1000, -3);
    EXPECT_EQ(bar->value(), 0);
    dialog.SetProgress(1000, 55);
    EXPECT_EQ(bar->value(), 55);
    dialog.SetProgress(4242, 10);  // no such control: nothing happens
    dialog.SetControlText(4242, "x");
    EXPECT_EQ(bar->value(), 55);
}

TEST_F(DialogWidgetTest, ImagesHostedControlsAndMissingImages) {
    DialogTemplate t = ProgressTemplate();
    ControlTemplate missing;
    missing.kind = ControlKind::Bitmap;
    missing.id = 3001;
    missing.imageId = 9999;
    missing.x = 10;
    missing.y = 130;
    missing.cx = 40;
    missing.cy = 20;
    ControlTemplate hosted = missing;
    hosted.kind = ControlKind::HostedControl;
    hosted.id = 1028;
    hosted.clsid = "{00000000-0000-0000-0000-000000000000}";
    ControlTemplate icon = missing;
    icon.kind = ControlKind::Icon;
    icon.id = 3002;
    icon.imageId = 217;
    icon.cx = 0;
    icon.cy = 0;
    t.controls.push_back(missing);
    t.controls.push_back(hosted);
    t.controls.push_back(icon);
    CQtDialog dialog(FakeWindow(10), t, false);

    auto* picture = qobject_cast<QLabel*>(dialog.findChildren<QLabel*>().value(0));
    ASSERT_NE(picture, nullptr);
    EXPECT_FALSE(picture->pixmap().isNull());
    EXPECT_EQ(picture->geometry(), dialog.Units().Rect(6, 14, 49, 106));

    QWidget* placeholder = dialog.Control(3001);
    ASSERT_NE(placeholder, nullptr);
    EXPECT_EQ(qobject_cast<QLabel*>(placeholder), nullptr);
    EXPECT_EQ(placeholder->geometry(), dialog.Units().Rect(10, 130, 40, 20));
    EXPECT_EQ(dialog.Control(1028)->geometry(), dialog.Units().Rect(10, 130, 40, 20));

    // An icon without a size keeps its own.
    auto* glyph = qobject_cast<QLabel*>(dialog.Control(3002));
    ASSERT_NE(glyph, nullptr);
    EXPECT_EQ(glyph->size(), QSize(32, 32));
    EXPECT_EQ(glyph->pos(), dialog.Units().Rect(10, 130, 0, 0).topLeft());
}

TEST_F(DialogWidgetTest, DefaultArtworkIsRegisteredOnceAndDecodes) {
    const std::vector<unsigned char> own = EncodePng(QImage(5, 5, QImage::Format_RGB32));
    ASSERT_FALSE(own.empty());
    // A program's own image is never replaced by the default artwork.
    ::RegisterImage(220, own);
    RegisterDefaultImages();
    EXPECT_EQ(*::FindImage(220), own);
    for (int id : {128, 137, 140, 217, 220}) {
        const std::vector<unsigned char>* png = ::FindImage(id);
        ASSERT_NE(png, nullptr) << id;
        QImage image;
        EXPECT_TRUE(image.loadFromData(png->data(), static_cast<int>(png->size()), "PNG")) << id;
        EXPECT_FALSE(image.isNull()) << id;
    }
    QImage rule;
    rule.loadFromData(::FindImage(140)->data(), static_cast<int>(::FindImage(140)->size()));
    EXPECT_EQ(rule.height(), 2);
}

}  // namespace
}  // namespace ui::qt::test
