// A message box the way the desktop system draws one: icon, text and a
// centred row of buttons with the system's Chinese labels.
#pragma once

#include <QDialog>
#include <vector>

#include "platform/ui/renderer.h"

namespace ui::qt {

class CQtMessageBox : public QDialog {
public:
    // interactive: a press goes back to the window core as the box's result.
    CQtMessageBox(const MessageBoxInfo& info, bool interactive, QWidget* parent = nullptr);

    HWND Box() const { return m_hBox; }
    // The button ids in order, and the one Esc / the close box picks (0 when
    // the box cannot be dismissed that way).
    const std::vector<int>& ButtonIds() const { return m_buttonIds; }
    int EscapeId() const { return m_nEscapeId; }
    // Presses a button as the user would.
    void Press(int id);

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    HWND m_hBox;
    bool m_bInteractive;
    bool m_bPressed = false;
    std::vector<int> m_buttonIds;
    int m_nEscapeId = 0;
};

}  // namespace ui::qt
