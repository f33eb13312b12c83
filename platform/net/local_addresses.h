// The machine's own addresses, as the desktop OS gives them for its own host
// name: the addresses of the network interfaces that are up and connected,
// never what /etc/hosts says about the name (Debian maps it to 127.0.1.1,
// which would make a machine that is online look offline).
#pragma once

#include <string>
#include <vector>

// One address of one interface, as the interface list reports it.
struct LocalAddress {
    std::string text;  // dotted IPv4 or IPv6 text
    bool ipv6 = false;
    bool up = false;         // the interface is up ...
    bool running = false;    // ... and has a link
    bool loopback = false;   // a loopback interface, or a loopback address
    bool linkLocal = false;  // IPv6 fe80::/10: exists without any network
};

// The interface addresses of this machine (getifaddrs), in the order the
// system lists them. False (last error set) when the list can't be read.
bool LocalInterfaceAddresses(std::vector<LocalAddress>* addresses);

// The own name's addresses from an interface list: IPv4 addresses of
// interfaces that are up and running first, then such IPv6 addresses that
// are not link-local, each once, in list order; loopback addresses only as
// "127.0.0.1" and only when there is no other address.
std::vector<std::string> OrderLocalAddresses(const std::vector<LocalAddress>& addresses);
