// Opening, writing and closing the TCP stream to a controller.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "sockets.h"
#include "trace.h"

int connectToController(uint32_t addressNetworkOrder, int port) {
    struct sockaddr_in peer = {};
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = addressNetworkOrder;
    peer.sin_port = htons(static_cast<uint16_t>(port));
    // Descriptor 0 is a valid socket here; only a negative result fails.
    int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) {
        traceOsError(false, "Connect to controller: socket() failed", true);
        return -1;
    }
    int rc;
    do rc = connect(s, reinterpret_cast<struct sockaddr*>(&peer), sizeof peer);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        traceOsError(false, "Connect to controller: connect() failed", true);
        close(s);
        return -1;
    }
    return s;
}

int sendAll(int socket, int length, const void* data) {
    const char* bytes = static_cast<const char*>(data);
    int remaining = length;
    ssize_t n = 1;
    while (remaining > 0) {
        n = send(socket, bytes + (length - remaining), static_cast<size_t>(remaining), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        remaining -= static_cast<int>(n);
    }
    if (length < 0 || n <= 0) {
        traceOsError(false, "Send to controller: send() failed", true);
        return -1;
    }
    return 0;
}

void shutdownSocket(int socket) {
    if (socket >= 0) shutdown(socket, SHUT_RDWR);
}

void closeSocket(int socket) {
    if (socket >= 0) close(socket);
}
