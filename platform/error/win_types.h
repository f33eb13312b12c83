// The Windows base types, declared once for every service and program: the
// sizes are the desktop system's (LONG and DWORD are 32 bits on every
// target).
#pragma once

#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using BOOL = int;
using DWORD_PTR = std::uintptr_t;

enum : BOOL { FALSE = 0, TRUE = 1 };
