#include "platform/ui/qt/message_box_widget.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "platform/ui/qt/dialog_units.h"
#include "platform/ui/qt/qt_text.h"

namespace ui::qt {

namespace {

enum : UINT {
    kTypeButtons = 0x000F,
    kTypeIcon = 0x00F0,
    kTypeDefault = 0x0F00,
    kIconQuestion = 0x0020,
    kButtonsAbortRetryIgnore = 2,
    kButtonsYesNoCancel = 3,
    kButtonsRetryCancel = 5,
};

std::vector<int> ButtonsOf(UINT type) {
    switch (type & kTypeButtons) {
        case MB_OKCANCEL:
            return {IDOK, IDCANCEL};
        case kButtonsAbortRetryIgnore:
            return {IDABORT, IDRETRY, IDIGNORE};
        case kButtonsYesNoCancel:
            return {IDYES, IDNO, IDCANCEL};
        case MB_YESNO:
            return {IDYES, IDNO};
        case kButtonsRetryCancel:
            return {IDRETRY, IDCANCEL};
        default:
            return {IDOK};
    }
}

QString ButtonLabel(int id) {
    switch (id) {
        case IDCANCEL:
            return FromGbk("取消");
        case IDABORT:
            return FromGbk("中止(&A)");
        case IDRETRY:
            return FromGbk("重试(&R)");
        case IDIGNORE:
            return FromGbk("忽略(&I)");
        case IDYES:
            return FromGbk("是(&Y)");
        case IDNO:
            return FromGbk("否(&N)");
        default:
            return FromGbk("确定");
    }
}

QStyle::StandardPixmap IconOf(UINT type) {
    switch (type & kTypeIcon) {
        case MB_ICONERROR:
            return QStyle::SP_MessageBoxCritical;
        case kIconQuestion:
            return QStyle::SP_MessageBoxQuestion;
        case MB_ICONEXCLAMATION:
            return QStyle::SP_MessageBoxWarning;
        case MB_ICONINFORMATION:
            return QStyle::SP_MessageBoxInformation;
        default:
            return QStyle::SP_CustomBase;  // none
    }
}

}  // namespace

CQtMessageBox::CQtMessageBox(const MessageBoxInfo& info, bool interactive, QWidget* parent)
    : QDialog(parent), m_hBox(info.box), m_bInteractive(interactive) {
    m_buttonIds = ButtonsOf(info.type);
    for (int id : m_buttonIds) {
        if (id == IDCANCEL) {
            m_nEscapeId = IDCANCEL;
        }
    }
    if (m_buttonIds.size() == 1) {
        m_nEscapeId = m_buttonIds.front();
    }
    // A Yes/No question whose default is No: Escape and closing mean No.
    if ((info.type & kTypeButtons) == MB_YESNO && (info.type & MB_DEFBUTTON2)) {
        m_nEscapeId = IDNO;
    }
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (m_nEscapeId != 0) {
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    }
    if ((info.type & MB_TOPMOST) != 0) {
        flags |= Qt::WindowStaysOnTopHint;
    }
    setWindowFlags(flags);
    setWindowTitle(FromGbk(info.caption));
    const QFont font = DialogFont("宋体", 9);
    setFont(font);
    const CDialogUnits units = MeasureDialogUnits(font);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(units.X(10), units.Y(10), units.X(10), units.Y(7));
    grid->setHorizontalSpacing(units.X(8));
    grid->setVerticalSpacing(units.Y(10));
    const QStyle::StandardPixmap icon = IconOf(info.type);
    int textColumn = 0;
    if (icon != QStyle::SP_CustomBase) {
        auto* iconLabel = new QLabel(this);
        iconLabel->setPixmap(style()->standardIcon(icon).pixmap(32, 32));
        iconLabel->setAlignment(Qt::AlignTop);
        grid->addWidget(iconLabel, 0, 0, Qt::AlignTop);
        textColumn = 1;
    }
    QString text = FromGbk(info.text);
    text.remove(QLatin1Char('\r'));
    auto* textLabel = new QLabel(text, this);
    textLabel->setTextFormat(Qt::PlainText);
    textLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Short texts keep their lines; long ones wrap at a width the desktop
    // system would also choose.
    const int maxWidth = units.X(280);
    int natural = 0;
    const QFontMetrics metrics(font);
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        natural = qMax(natural, metrics.horizontalAdvance(line));
    }
    if (natural > maxWidth) {
        textLabel->setWordWrap(true);
        textLabel->setFixedWidth(maxWidth);
    } else {
        textLabel->setMinimumWidth(natural);
    }
    grid->addWidget(textLabel, 0, textColumn, Qt::AlignVCenter | Qt::AlignLeft);

    auto* row = new QHBoxLayout;
    row->setSpacing(units.X(6));
    row->addStretch(1);
    const std::size_t defaultIndex = (info.type & kTypeDefault) >> 8;
    for (std::size_t i = 0; i < m_buttonIds.size(); ++i) {
        const int id = m_buttonIds[i];
        auto* button = new QPushButton(ButtonLabel(id), this);
        button->setMinimumSize(units.Size(50, 14));
        const bool isDefault = i == (defaultIndex < m_buttonIds.size() ? defaultIndex : 0);
        button->setDefault(isDefault);
        // A dialog's focused button takes over as its default, and the
        // first one would get the focus: as on the desktop system, the
        // default button starts with it.
        if (isDefault) {
            button->setFocus();
        }
        connect(button, &QPushButton::clicked, this, [this, id] { Press(id); });
        row->addWidget(button);
    }
    row->addStretch(1);
    grid->addLayout(row, 1, 0, 1, textColumn + 1);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}

void CQtMessageBox::Press(int id) {
    if (!m_bInteractive || m_bPressed) {
        return;
    }
    // A box always ends at its first press: hide at once, the core closes
    // it for good.
    m_bPressed = true;
    hide();
    ui::PressButton(m_hBox, id, false);
}

void CQtMessageBox::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (m_nEscapeId != 0) {
        Press(m_nEscapeId);
    }
}

void CQtMessageBox::reject() {
    if (m_nEscapeId != 0) {
        Press(m_nEscapeId);
    }
}

}  // namespace ui::qt
