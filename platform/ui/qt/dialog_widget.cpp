#include "platform/ui/qt/dialog_widget.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

#include "platform/ui/qt/hosted_control_widget.h"
#include "platform/ui/qt/images.h"
#include "platform/ui/qt/qt_text.h"

namespace ui::qt {

namespace {

Qt::WindowFlags DialogFlags(DWORD style) {
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint;
    flags |= (style & WS_CAPTION) != 0 ? Qt::WindowTitleHint : Qt::FramelessWindowHint;
    if ((style & WS_SYSMENU) != 0) {
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    }
    return flags;
}

// Statics show line breaks; a carriage return before them is not a glyph.
QString ElidedPath(const QString& path, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(path) <= width)
        return path;
    // The desktop's path labels keep the last name whole and as much of the
    // start as fits: "C:\course\...\chapter01\index.htm".
    const QString dots = QStringLiteral("...");
    const qsizetype cut = path.lastIndexOf(QLatin1Char('\\'));
    const QString tail = cut < 0 ? path : path.mid(cut);
    if (metrics.horizontalAdvance(dots + tail) > width)
        return metrics.elidedText(path, Qt::ElideMiddle, width);
    qsizetype keep = 0;
    while (keep < path.size() &&
           metrics.horizontalAdvance(path.left(keep + 1) + dots + tail) <= width)
        ++keep;
    return path.left(keep) + dots + tail;
}

QString LabelText(const std::string& gbk) {
    QString s = FromGbk(gbk);
    s.remove(QLatin1Char('\r'));
    return s;
}

}  // namespace

CQtDialog::CQtDialog(HWND hwnd, const DialogTemplate& tmpl, bool interactive, QWidget* parent)
    : QDialog(parent, DialogFlags(tmpl.style)),
      m_hWnd(hwnd),
      m_nTemplateId(tmpl.id),
      m_bInteractive(interactive),
      m_bHasSysMenu((tmpl.style & WS_SYSMENU) != 0),
      m_units(1, 1) {
    const QFont font = DialogFont(tmpl.fontName, tmpl.fontSize);
    setFont(font);
    m_units = MeasureDialogUnits(font);
    setWindowTitle(FromGbk(tmpl.title));
    setFixedSize(m_units.Size(tmpl.cx, tmpl.cy));
    for (const ControlTemplate& c : tmpl.controls) {
        QWidget* widget = CreateControl(c);
        m_controls.push_back(CControl{c.id, c.kind, widget, c.style});
        if (c.kind == ControlKind::Static)
            SetText(m_controls.back(), c.text);
    }
    // A group box frames the controls placed over it: keep it beneath them
    // whatever the template order.
    for (const CControl& c : m_controls) {
        if (c.kind == ControlKind::GroupBox) {
            c.widget->lower();
        }
    }
}

QWidget* CQtDialog::CreateControl(const ControlTemplate& c) {
    const QRect rect = m_units.Rect(c.x, c.y, c.cx, c.cy);
    QWidget* widget = nullptr;
    switch (c.kind) {
        case ControlKind::Static: {
            auto* label = new QLabel(this);
            label->setTextFormat(Qt::PlainText);
            // A path label keeps to its one line (see SetText).
            label->setWordWrap((c.style & SS_PATHELLIPSIS) == 0);
            label->setAlignment(Qt::AlignTop |
                                ((c.style & SS_CENTER) != 0 ? Qt::AlignHCenter : Qt::AlignLeft));
            widget = label;
            break;
        }
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(FromGbk(c.text), this);
            if ((c.style & ES_PASSWORD) != 0) {
                edit->setEchoMode(QLineEdit::Password);
            }
            if (m_bInteractive) {
                const int id = c.id;
                connect(edit, &QLineEdit::textEdited, this,
                        [this, id](const QString& s) { ui::TypeText(m_hWnd, id, ToGbk(s)); });
            }
            widget = edit;
            break;
        }
        case ControlKind::PushButton:
        case ControlKind::DefPushButton: {
            auto* button = new QPushButton(FromGbk(c.text), this);
            button->setDefault(c.kind == ControlKind::DefPushButton);
            if (m_bInteractive) {
                const int id = c.id;
                connect(button, &QPushButton::clicked, this,
                        [this, id] { ui::PressButton(m_hWnd, id, false); });
            }
            widget = button;
            break;
        }
        case ControlKind::GroupBox:
            widget = new QGroupBox(FromGbk(c.text), this);
            break;
        case ControlKind::Progress: {
            auto* bar = new QProgressBar(this);
            bar->setRange(0, 100);
            bar->setValue(0);
            bar->setTextVisible(false);
            widget = bar;
            break;
        }
        case ControlKind::Bitmap:
        case ControlKind::Icon:
            return CreateImage(c, rect);
        case ControlKind::HostedControl:
            // What the hosted component drew (an empty frame until it draws).
            widget = new CHostedControlWidget(m_hWnd, c.id, this);
            break;
    }
    widget->setGeometry(rect);
    return widget;
}

QWidget* CQtDialog::CreateImage(const ControlTemplate& c, const QRect& rect) {
    const QPixmap pixmap = TemplateImage(c.imageId);
    if (pixmap.isNull()) {
        auto* frame = new QFrame(this);
        frame->setFrameStyle(QFrame::Box | QFrame::Plain);
        frame->setGeometry(rect.isEmpty() ? QRect(rect.topLeft(), QSize(32, 32)) : rect);
        return frame;
    }
    auto* label = new QLabel(this);
    if (c.kind == ControlKind::Bitmap && !rect.isEmpty()) {
        // The system's artwork is not drawn pixel for pixel to the template:
        // a bitmap fills the rectangle the template gives it.
        label->setScaledContents(true);
        label->setPixmap(pixmap);
        label->setGeometry(rect);
    } else if (!rect.isEmpty() &&
               (pixmap.width() > rect.width() || pixmap.height() > rect.height())) {
        label->setPixmap(pixmap.scaled(rect.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setGeometry(rect);
    } else {
        // An icon keeps its own size, drawn from the control's top-left.
        label->setPixmap(pixmap);
        label->setGeometry(QRect(rect.topLeft(), pixmap.size()));
    }
    return label;
}

const CQtDialog::CControl* CQtDialog::Find(int id) const {
    for (const CControl& c : m_controls) {
        if (c.id == id) {
            return &c;
        }
    }
    return nullptr;
}

QWidget* CQtDialog::Control(int id) const {
    const CControl* c = Find(id);
    return c != nullptr ? c->widget : nullptr;
}

void CQtDialog::SetText(const CControl& control, const std::string& gbk) {
    if (auto* label = qobject_cast<QLabel*>(control.widget);
        label != nullptr && control.kind == ControlKind::Static) {
        if (control.style & SS_PATHELLIPSIS) {
            label->setToolTip(LabelText(gbk));
            label->setText(ElidedPath(LabelText(gbk), label->fontMetrics(), label->width()));
        } else {
            label->setText(LabelText(gbk));
        }
    } else if (auto* edit = qobject_cast<QLineEdit*>(control.widget)) {
        // The core reports text the user typed back to us: leave the
        // widget (and its cursor) alone when it already shows it.
        const QString s = FromGbk(gbk);
        if (edit->text() != s) {
            edit->setText(s);
        }
    } else if (auto* button = qobject_cast<QPushButton*>(control.widget)) {
        button->setText(FromGbk(gbk));
    } else if (auto* group = qobject_cast<QGroupBox*>(control.widget)) {
        group->setTitle(FromGbk(gbk));
    }
}

bool CQtDialog::IsEdit(int id) const {
    const CControl* c = Find(id);
    return c != nullptr && c->kind == ControlKind::Edit;
}

void CQtDialog::SetControlText(int id, const std::string& gbk) {
    if (const CControl* c = Find(id)) {
        SetText(*c, gbk);
    }
}

bool CQtDialog::SetProgress(int id, int pos) {
    const CControl* c = Find(id);
    auto* bar = c != nullptr ? qobject_cast<QProgressBar*>(c->widget) : nullptr;
    if (bar == nullptr) {
        return true;
    }
    bar->setValue(qBound(bar->minimum(), pos, bar->maximum()));
    return pos >= bar->minimum() && pos <= bar->maximum();
}

void CQtDialog::ApplyState(const WindowState& state) {
    setWindowTitle(FromGbk(state.title));
    // The core lists the controls in template order; unnamed statics can
    // only be matched by position.
    bool parallel = state.controls.size() == m_controls.size();
    for (std::size_t i = 0; parallel && i < m_controls.size(); ++i) {
        parallel = state.controls[i].id == m_controls[i].id;
    }
    for (std::size_t i = 0; i < state.controls.size(); ++i) {
        const ControlState& cs = state.controls[i];
        const CControl* c =
            parallel ? &m_controls[i] : (cs.id != IDC_STATIC ? Find(cs.id) : nullptr);
        if (c == nullptr) {
            continue;
        }
        if (c->kind == ControlKind::Progress) {
            if (auto* bar = qobject_cast<QProgressBar*>(c->widget)) {
                // An empty range would make Qt draw a busy bar.
                const int low = std::min(cs.rangeMin, cs.rangeMax);
                const int high = std::max(cs.rangeMin, cs.rangeMax);
                if (low < high) {
                    bar->setRange(low, high);
                }
                bar->setValue(qBound(bar->minimum(), cs.pos, bar->maximum()));
            }
        } else {
            SetText(*c, cs.text);
        }
        c->widget->setVisible(cs.visible);
    }
}

void CQtDialog::SetHostedDrawing(int id, const WindowDrawing& drawing) {
    const CControl* c = Find(id);
    if (c != nullptr && c->kind == ControlKind::HostedControl) {
        static_cast<CHostedControlWidget*>(c->widget)->SetDrawing(drawing);
    }
}

void CQtDialog::SetTopmost(bool topmost) {
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == topmost) {
        return;
    }
    const bool wasVisible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, topmost);
    if (wasVisible) {
        show();  // changing the flags hides a window
    }
}

void CQtDialog::closeEvent(QCloseEvent* event) {
    // The core decides whether the window closes; it closes it through
    // DialogClosed. Without a system menu there is no close box to use.
    event->ignore();
    if (m_bInteractive && m_bHasSysMenu) {
        ui::RequestClose(m_hWnd);
    }
}

void CQtDialog::reject() {
    // Esc: the desktop system sends the dialog IDCANCEL.
    if (m_bInteractive) {
        ui::PressButton(m_hWnd, IDCANCEL, false);
    }
}

}  // namespace ui::qt
