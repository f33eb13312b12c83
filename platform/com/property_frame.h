// The property frame: a modal dialog that shows an object's property page
// (the page's template inside a frame with 确定, 取消 and 应用 buttons).
#pragma once

#include <string>

#include "platform/com/dispatch.h"
#include "platform/com/ole_interfaces.h"

namespace com {

// The frame's template id is this base plus the page's own template id, so
// an answer file can tell the frames of different pages apart.
inline constexpr int kPropertyFrameBase = 0x7000;
inline constexpr int kApplyButton = 0x3021;

}  // namespace com

// Creates each page (by class id, through the registry), hands it the
// objects and shows the first page in a frame titled "<caption> 属性",
// owned by owner. 确定 applies the page and closes the frame, 应用 applies
// it, 取消 closes it. Returns when the frame is closed; S_OK, or the error
// of a page that cannot be created (nothing is shown then).
HRESULT OleCreatePropertyFrame(HWND owner, const std::string& caption, ULONG objectCount,
                               IUnknown** objects, ULONG pageCount, const CLSID* pages, LCID lcid);
