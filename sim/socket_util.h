// Small helpers around the BSD socket calls the simulator makes.
#ifndef SIM_SOCKET_UTIL_H
#define SIM_SOCKET_UTIL_H

#include <netinet/in.h>

#include <cstdint>
#include <string>

namespace sim {

// Dotted IPv4 text to an address; false when the text is not one.
bool parseIpv4(const std::string& text, in_addr* address);
bool isLoopback(const in_addr& address);  // 127.0.0.0/8
sockaddr_in socketAddress(in_addr address, uint16_t port);
std::string describe(const sockaddr_in& address);  // "a.b.c.d:port"

// Closes fd if it is open and marks it closed (-1).
void closeFd(int& fd);

// A UDP socket bound to address:port; SO_REUSEADDR when reuse. -1 on failure.
int boundUdpSocket(in_addr address, uint16_t port, bool reuse);

}  // namespace sim

#endif
