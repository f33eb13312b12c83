// The place of a hosted control in a dialog: it paints what the control drew
// (its recorded drawing, platform/ui/drawing.h) scaled to its rectangle, or
// an empty sunken frame while there is nothing to paint. The control itself
// is never called from here.
#pragma once

#include <QFrame>
#include <optional>

#include "platform/ui/drawing.h"

namespace ui::qt {

class CHostedControlWidget : public QFrame {
public:
    // A live widget reads the control window's drawing (dialog's child
    // controlId) whenever it paints; a snapshot's gets a fixed copy.
    CHostedControlWidget(HWND dialog, int controlId, QWidget* parent);

    void SetDrawing(const WindowDrawing& drawing);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    HWND m_hDialog;
    int m_nControlId;
    std::optional<WindowDrawing> m_fixed;
};

// GUI thread or any: the drawing of a dialog's hosted control, if it has one.
bool HostedControlDrawing(HWND dialog, int controlId, WindowDrawing* drawing);

}  // namespace ui::qt
