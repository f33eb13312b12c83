// The control keeps AutoPlay off while its host is in front: the host's
// top-level window answers the registered "QueryCancelAutoPlay" message.
// Installed once per process, by the first control whose window receives a
// message; every control's destruction puts the old procedure back.
#pragma once

#include "platform/ui/ui.h"

// Installs the hook on the top-level window above controlWnd unless the
// message is registered already (then the hook was installed before).
void InstallAutoPlayHookOnce(HWND controlWnd);
// Puts the recorded procedure back on the recorded window. A window that is
// gone by now is left alone (the call on its stale handle fails).
void RemoveAutoPlayHook();
// Answers "QueryCancelAutoPlay" with 1 (cancel AutoPlay); everything else
// goes to the recorded procedure.
LRESULT AutoPlayHookProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
