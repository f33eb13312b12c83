// Windows Sockets start-up and clean-up, as the system's programs call them
// before resolving names. Linux sockets need no start-up: these calls only
// check their arguments and keep count, so that code written the desktop way
// (start, use, clean up) runs unchanged.
#pragma once

#include <cstdint>

#include "platform/error/error.h"

constexpr WORD MAKEWORD(BYTE low, BYTE high) {
    return static_cast<WORD>(low | (high << 8));
}
constexpr BYTE LOBYTE(WORD w) {
    return static_cast<BYTE>(w & 0xFF);
}
constexpr BYTE HIBYTE(WORD w) {
    return static_cast<BYTE>((w >> 8) & 0xFF);
}

enum : int { WSADESCRIPTION_LEN = 256, WSASYS_STATUS_LEN = 128 };

struct WSADATA {
    WORD wVersion;      // the version the caller is to use
    WORD wHighVersion;  // the highest version offered (2.2)
    char szDescription[WSADESCRIPTION_LEN + 1];
    char szSystemStatus[WSASYS_STATUS_LEN + 1];
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char* lpVendorInfo;
};

enum : int {
    SOCKET_ERROR = -1,
    WSAEFAULT = 10014,
    WSAVERNOTSUPPORTED = 10092,
    WSANOTINITIALISED = 10093,
};

// Returns 0 and fills *data, or an error code: WSAVERNOTSUPPORTED for a
// version below 1.0, WSAEFAULT for a null data. A request above 2.2 gets 2.2;
// 1.x gets 1.1 (so a caller that accepts only 1.1 sees 1.1).
int WSAStartup(WORD versionRequested, WSADATA* data);
// Returns 0, or SOCKET_ERROR with last error WSANOTINITIALISED when there
// was no start-up left to end.
int WSACleanup();
int WSAGetLastError();
