// Controls that a dialog template hosts by class id (ControlKind::HostedControl)
// are made by the component layer, which installs its factory here. The
// factory makes the control's window as a child of the dialog (with the
// template's control id, so GetDlgItem finds it) and returns it in *child.
#pragma once

#include <functional>

#include "platform/ui/ui.h"

namespace ui {

using HostedControlFactory =
    std::function<bool(HWND dialog, const ControlTemplate& control, HWND* child)>;

// Replaces the factory (an empty function removes it). Without a factory, or
// when it fails, a dialog that hosts a control ends DoModal with -1 before
// OnInitDialog.
void SetHostedControlFactory(HostedControlFactory factory);

}  // namespace ui
