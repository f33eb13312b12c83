// Automation strings: UTF-16 text with its length in front, allocated and
// freed by the platform so that a host and a module may hand them to each
// other. Inside the system text is GBK; the conversion happens here, at the
// interface.
#pragma once

#include <string>
#include <string_view>

#include "platform/error/win_types.h"

using OLECHAR = char16_t;
using BSTR = OLECHAR*;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;

// A copy of the zero-terminated s; null for a null s or when memory runs out.
BSTR SysAllocString(LPCOLESTR s);
// len characters from s (s null: zeros); null when memory runs out or len is
// beyond what a string can hold.
BSTR SysAllocStringLen(LPCOLESTR s, UINT len);
// Frees a string made by the calls above (null is fine).
void SysFreeString(BSTR s);
// The length in characters (0 for null).
UINT SysStringLen(BSTR s);

namespace com {

std::u16string_view BstrView(BSTR s);
BSTR BstrFromUtf16(std::u16string_view text);
BSTR BstrFromGbk(std::string_view gbk);
// The text as GBK, up to its first zero character (as the system's narrow
// strings end there). False, with *gbk left alone, when a character has no
// GBK form: callers answer DISP_E_TYPEMISMATCH.
bool GbkFromBstr(BSTR s, std::string* gbk);
// True when every character of the UTF-16 text has a GBK form.
bool IsGbkRepresentable(std::u16string_view text);

}  // namespace com
