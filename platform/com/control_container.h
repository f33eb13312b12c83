// Hosting controls in dialogs: a dialog template entry of kind HostedControl
// names a class id; with control containment enabled, opening the dialog
// creates that control (through the registry), activates it in a child
// window of the dialog with the entry's id and loads its default state. A
// control that cannot be created ends the dialog with -1 before its start
// runs, and the reason goes to stderr.
#pragma once

#include "platform/com/unknown.h"
#include "platform/ui/ui.h"

// Installs the component layer's factory for hosted controls (once is
// enough; calling again does no harm).
void AfxEnableControlContainer();

namespace com {

// An interface of the control that lives in a control window (a dialog's
// hosted control: GetDlgItem(dialog, id)); E_INVALIDARG for any other window.
HRESULT GetControlOfWindow(HWND window, REFIID iid, void** object);

}  // namespace com
