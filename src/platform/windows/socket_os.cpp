// Windows Sockets 2: start-up with the version test, socket handles,
// WSAPoll and the addresses registered for the local computer.
#include <climits>

#include "platform/socket_os.h"

namespace plat {

int startSocketLayer() {
    WSADATA data;
    int error = WSAStartup(MAKEWORD(2, 2), &data);
    if (error != 0) return error;  // WSAGetLastError is not usable before a start
    if (LOBYTE(data.wVersion) != 2 || HIBYTE(data.wVersion) != 2) {
        WSACleanup();
        // A version mismatch is a failure even though no call failed.
        error = WSAGetLastError();
        return error != 0 ? error : WSAVERNOTSUPPORTED;
    }
    return 0;
}

int openSocket(int type) {
    SOCKET s = ::socket(AF_INET, type, 0);
    if (s == INVALID_SOCKET) return -1;
    if (s > static_cast<SOCKET>(INT_MAX)) {  // cannot be named by an int
        ::closesocket(s);
        WSASetLastError(WSAEMFILE);
        return -1;
    }
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    return static_cast<int>(s);
}

void closeSocketDescriptor(int socket) {
    if (socket >= 0) ::closesocket(static_cast<SOCKET>(socket));
}

void shutdownSocketDescriptor(int socket) {
    if (socket >= 0) ::shutdown(static_cast<SOCKET>(socket), SD_BOTH);
}

bool setNonBlocking(int socket, bool on) {
    u_long mode = on ? 1 : 0;
    return ::ioctlsocket(static_cast<SOCKET>(socket), FIONBIO, &mode) == 0;
}

bool sendAtOnce(int socket) {
    const BOOL on = TRUE;
    return ::setsockopt(static_cast<SOCKET>(socket), IPPROTO_TCP, TCP_NODELAY,
                        reinterpret_cast<const char*>(&on), sizeof on) == 0;
}

bool connectPending() { return WSAGetLastError() == WSAEWOULDBLOCK; }

int connectResult(int socket) {
    int error = 0;
    int size = sizeof error;
    if (::getsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                     &size) != 0)
        error = WSAGetLastError();
    WSASetLastError(error);
    return error;
}

int socketAboveZero(int socket) { return socket; }  // socket handles are never 0

int pollSockets(struct pollfd* sockets, int count, int waitMs) {
    return ::WSAPoll(sockets, static_cast<ULONG>(count), waitMs);
}

bool localIpv4Addresses(std::vector<uint32_t>& addresses) {
    // An empty host name asks for every address registered for the local
    // computer. The socket type is given so that each address is listed
    // once (some implementations list it once per socket type otherwise).
    struct addrinfo hints = {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    struct addrinfo* answer = nullptr;
    if (::getaddrinfo("", nullptr, &hints, &answer) != 0) return false;
    for (const struct addrinfo* it = answer; it; it = it->ai_next) {
        if (it->ai_family != AF_INET || !it->ai_addr) continue;
        addresses.push_back(reinterpret_cast<const struct sockaddr_in*>(it->ai_addr)->sin_addr.s_addr);
    }
    ::freeaddrinfo(answer);
    return true;
}

}  // namespace plat
