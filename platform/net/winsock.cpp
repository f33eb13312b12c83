#include "platform/net/winsock.h"

#include <atomic>
#include <cstring>

namespace {

// Start-ups not yet ended, process-wide, as the desktop OS counts them.
std::atomic<int> g_nStartups{0};

constexpr WORD kHighestVersion = MAKEWORD(2, 2);

}  // namespace

int WSAStartup(WORD versionRequested, WSADATA* data) {
    const BYTE major = LOBYTE(versionRequested);
    const BYTE minor = HIBYTE(versionRequested);
    if (major < 1)
        return WSAVERNOTSUPPORTED;
    if (!data)
        return WSAEFAULT;
    WORD granted = kHighestVersion;
    if (major == 1)
        granted = MAKEWORD(1, 1);
    else if (major == 2 && minor < 2)
        granted = versionRequested;
    std::memset(data, 0, sizeof(*data));
    data->wVersion = granted;
    data->wHighVersion = kHighestVersion;
    std::strcpy(data->szDescription, "Linux sockets");
    std::strcpy(data->szSystemStatus, "Running");
    data->iMaxSockets = 32767;
    data->iMaxUdpDg = 65467;
    ++g_nStartups;
    return 0;
}

int WSACleanup() {
    int count = g_nStartups.load();
    while (count > 0) {
        if (g_nStartups.compare_exchange_weak(count, count - 1))
            return 0;
    }
    SetLastError(WSANOTINITIALISED);
    return SOCKET_ERROR;
}

int WSAGetLastError() {
    return static_cast<int>(GetLastError());
}
