// A dialog built from its template: one Qt widget per control, placed by
// converting the template's dialog units with base units measured from the
// dialog font.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "platform/ui/drawing.h"
#include "platform/ui/qt/dialog_units.h"
#include "platform/ui/renderer.h"
#include "platform/ui/ui.h"

namespace ui::qt {

class CQtDialog : public QDialog {
public:
    // interactive: button presses, typing and close requests go back to the
    // window core; snapshots build a non-interactive copy that only draws.
    CQtDialog(HWND hwnd, const DialogTemplate& tmpl, bool interactive, QWidget* parent = nullptr);

    HWND Hwnd() const { return m_hWnd; }
    int TemplateId() const { return m_nTemplateId; }
    const CDialogUnits& Units() const { return m_units; }

    // The first control with this id (null when there is none).
    QWidget* Control(int id) const;

    bool IsEdit(int id) const;
    void SetControlText(int id, const std::string& gbk);
    // False when pos lies outside the bar's range (which the program may
    // have changed since): the value shown is then clamped.
    bool SetProgress(int id, int pos);
    // Title, texts, positions and visibility of the controls from the core's
    // state (the window's own visibility and placement are left to the
    // caller).
    void ApplyState(const WindowState& state);
    void SetTopmost(bool topmost);
    // A fixed drawing for a hosted control (snapshots draw the window as it
    // was when it appeared); live dialogs read the control's own.
    void SetHostedDrawing(int id, const WindowDrawing& drawing);

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    struct CControl {
        int id;
        ControlKind kind;
        QWidget* widget;
        DWORD style;
    };

    QWidget* CreateControl(const ControlTemplate& c);
    QWidget* CreateImage(const ControlTemplate& c, const QRect& rect);
    void SetText(const CControl& control, const std::string& gbk);
    const CControl* Find(int id) const;

    HWND m_hWnd;
    int m_nTemplateId;
    bool m_bInteractive;
    bool m_bHasSysMenu;
    CDialogUnits m_units;
    std::vector<CControl> m_controls;
};

}  // namespace ui::qt
