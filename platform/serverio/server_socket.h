// Socket addresses and connections of a server, for code above the platform
// that gets them from an HTTP library: the numeric address of a connection
// as text, an address to bind, and the few calls on a connection's socket
// that such a library leaves to its user.
#pragma once

#include <cstddef>
#include <string>

// An IPv4 or IPv6 socket address, as the system's calls take it.
struct CSocketAddress {
    alignas(8) unsigned char bytes[128] = {};
    unsigned length = 0;  // 0: none
    bool ipv6 = false;
};

// address: numeric IPv4 ("127.0.0.1") or IPv6 ("::1"). False when it is
// neither.
bool MakeSocketAddress(const std::string& address, unsigned port, CSocketAddress* out);

// The numeric text of the socket address at sockaddr ("127.0.0.1", "::1");
// an IPv4 address mapped into IPv6 is given as IPv4. "-" for anything else.
std::string SocketAddressText(const void* sockaddr);

// Ends both directions of a connected socket without closing it, so that
// whoever polls it sees its end and closes it.
void ShutdownSocket(int fd);

// Writes to a connection its peer closed fail instead of ending the process.
void IgnoreBrokenPipes();

// Raises the limit of open files to the most allowed; returns the limit now
// in force (0 when it cannot be read).
std::size_t RaiseOpenFileLimit();
