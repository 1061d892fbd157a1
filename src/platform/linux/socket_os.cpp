// Socket descriptors, waits and the interface list on POSIX.
#include <fcntl.h>
#include <ifaddrs.h>
#include <netinet/tcp.h>
#include <unistd.h>

#include "platform/socket_os.h"

namespace plat {

int startSocketLayer() { return 0; }  // BSD sockets need no start-up

int openSocket(int type) {
    int s = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
    return s < 0 ? -1 : s;  // descriptor 0 is a valid socket here
}

void closeSocketDescriptor(int socket) {
    if (socket >= 0) ::close(socket);
}

void shutdownSocketDescriptor(int socket) {
    if (socket >= 0) ::shutdown(socket, SHUT_RDWR);
}

bool setNonBlocking(int socket, bool on) {
    const int flags = ::fcntl(socket, F_GETFL);
    return flags >= 0 && ::fcntl(socket, F_SETFL, on ? flags | O_NONBLOCK : flags & ~O_NONBLOCK) == 0;
}

bool sendAtOnce(int socket) {
    const int on = 1;
    return ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0;
}

bool connectPending() { return errno == EINPROGRESS; }

int connectResult(int socket) {
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
    errno = error;
    return error;
}

int socketAboveZero(int socket) {
    if (socket != 0) return socket;
    int moved = ::fcntl(socket, F_DUPFD_CLOEXEC, 1);
    ::close(socket);
    return moved;
}

int pollSockets(struct pollfd* sockets, int count, int waitMs) {
    return ::poll(sockets, static_cast<nfds_t>(count), waitMs);
}

bool localIpv4Addresses(std::vector<uint32_t>& addresses) {
    struct ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return false;
    for (const struct ifaddrs* it = list; it; it = it->ifa_next) {
        if (!it->ifa_addr || it->ifa_addr->sa_family != AF_INET) continue;  // no IPv4 address
        addresses.push_back(reinterpret_cast<const struct sockaddr_in*>(it->ifa_addr)->sin_addr.s_addr);
    }
    ::freeifaddrs(list);
    return true;
}

}  // namespace plat
