// Inside the component layer: which control object owns which control
// window. Not for code outside platform/com.
#pragma once

#include "platform/com/control.h"

namespace com::detail {

// The control whose window hwnd is, with a new reference; null for any other
// window (or a window already gone).
IUnknown* ControlOfWindow(HWND hwnd);

}  // namespace com::detail
