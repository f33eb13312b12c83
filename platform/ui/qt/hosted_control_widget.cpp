#include "platform/ui/qt/hosted_control_widget.h"

#include <QPainter>

namespace ui::qt {

namespace {

QColor ColorOf(COLORREF c) {
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

}  // namespace

bool HostedControlDrawing(HWND dialog, int controlId, WindowDrawing* drawing) {
    HWND child = GetDlgItem(dialog, controlId);
    return child != nullptr && GetWindowDrawing(child, drawing);
}

CHostedControlWidget::CHostedControlWidget(HWND dialog, int controlId, QWidget* parent)
    : QFrame(parent), m_hDialog(dialog), m_nControlId(controlId) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
}

void CHostedControlWidget::SetDrawing(const WindowDrawing& drawing) {
    m_fixed = drawing;
    update();
}

void CHostedControlWidget::paintEvent(QPaintEvent* event) {
    WindowDrawing drawing;
    bool have = false;
    if (m_fixed) {
        drawing = *m_fixed;
        have = true;
    } else {
        have = HostedControlDrawing(m_hDialog, m_nControlId, &drawing);
    }
    const int boundsWidth = drawing.bounds.right - drawing.bounds.left;
    const int boundsHeight = drawing.bounds.bottom - drawing.bounds.top;
    if (!have || boundsWidth <= 0 || boundsHeight <= 0) {
        QFrame::paintEvent(event);
        return;
    }
    QPainter painter(this);
    const qreal sx = static_cast<qreal>(width()) / boundsWidth;
    const qreal sy = static_cast<qreal>(height()) / boundsHeight;
    auto map = [&](const RECT& r) {
        return QRectF((r.left - drawing.bounds.left) * sx, (r.top - drawing.bounds.top) * sy,
                      (r.right - r.left) * sx, (r.bottom - r.top) * sy);
    };
    for (const DrawOp& op : drawing.ops) {
        const QRectF rect = map(op.rect);
        switch (op.kind) {
            case DrawOp::Kind::FillRect:
                if (!op.brush.isNull) {
                    painter.fillRect(rect, ColorOf(op.brush.color));
                }
                break;
            case DrawOp::Kind::Ellipse:
                painter.setRenderHint(QPainter::Antialiasing, true);
                painter.setPen(op.pen.isNull ? QPen(Qt::NoPen) : QPen(ColorOf(op.pen.color), 1));
                painter.setBrush(op.brush.isNull ? QBrush(Qt::NoBrush)
                                                 : QBrush(ColorOf(op.brush.color)));
                // The outline stays inside the rectangle, as the desktop draws it.
                painter.drawEllipse(rect.adjusted(0.5, 0.5, -0.5, -0.5));
                break;
        }
    }
}

}  // namespace ui::qt
