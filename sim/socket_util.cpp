#include "socket_util.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sim {

bool parseIpv4(const std::string& text, in_addr* address) {
    return inet_pton(AF_INET, text.c_str(), address) == 1;
}

bool isLoopback(const in_addr& address) { return (ntohl(address.s_addr) >> 24) == 127; }

sockaddr_in socketAddress(in_addr address, uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr = address;
    sa.sin_port = htons(port);
    return sa;
}

std::string describe(const sockaddr_in& address) {
    char text[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

int boundUdpSocket(in_addr address, uint16_t port, bool reuse) {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    int on = 1;
    if (reuse && setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) {
        closeFd(fd);
        return -1;
    }
    sockaddr_in sa = socketAddress(address, port);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) closeFd(fd);
    return fd;
}

}  // namespace sim
