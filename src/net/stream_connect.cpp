// Opening, writing and closing the TCP stream to a controller.
#include <algorithm>

#include "platform/socket_os.h"
#include "sockets.h"
#include "wire/tick.h"
#include "trace.h"

namespace net {

namespace {

enum class ConnectOutcome { Connected, Failed, TimedOut };

ConnectOutcome connectWaiting(int s, const struct sockaddr_in& peer) {
    int rc;
    do rc = connect(s, reinterpret_cast<const struct sockaddr*>(&peer), sizeof peer);
    while (rc != 0 && plat::socketCallInterrupted());
    return rc == 0 ? ConnectOutcome::Connected : ConnectOutcome::Failed;
}

// A non-waiting connect and a wait of at most limitMs for its outcome; the
// socket waits again afterwards.
ConnectOutcome connectWithin(int s, const struct sockaddr_in& peer, int limitMs) {
    if (!plat::setNonBlocking(s, true)) return ConnectOutcome::Failed;
    ConnectOutcome outcome = ConnectOutcome::Connected;
    if (connect(s, reinterpret_cast<const struct sockaddr*>(&peer), sizeof peer) != 0) {
        outcome = ConnectOutcome::Failed;
        if (plat::connectPending()) {
            struct pollfd watch = {};
            watch.fd = s;
            watch.events = POLLOUT;
            const int64_t end = uc::tickMs() + limitMs;
            int ready;
            do ready = plat::pollSockets(&watch, 1, static_cast<int>(std::max<int64_t>(end - uc::tickMs(), 0)));
            while (ready < 0 && plat::socketCallInterrupted() && uc::tickMs() < end);
            if (ready == 0) outcome = ConnectOutcome::TimedOut;
            if (ready > 0 && plat::connectResult(s) == 0) outcome = ConnectOutcome::Connected;
        }
    }
    if (!plat::setNonBlocking(s, false) && outcome == ConnectOutcome::Connected)
        outcome = ConnectOutcome::Failed;
    return outcome;
}

}  // namespace

int connectToController(uint32_t addressNetworkOrder, int port, int limitMs) {
    struct sockaddr_in peer = {};
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = addressNetworkOrder;
    peer.sin_port = htons(static_cast<uint16_t>(port));
    // Descriptor 0 is a valid socket on POSIX; only a negative result fails.
    int s = plat::openSocket(SOCK_STREAM);
    if (s < 0) {
        traceOsError(false, "Connect to controller: socket() failed", true);
        return -1;
    }
    const ConnectOutcome outcome = limitMs < 0 ? connectWaiting(s, peer) : connectWithin(s, peer, limitMs);
    if (outcome == ConnectOutcome::TimedOut)
        traceError(false, "Connect to controller: no answer within %d ms", limitMs);
    if (outcome == ConnectOutcome::Failed) traceOsError(false, "Connect to controller: connect() failed", true);
    if (outcome != ConnectOutcome::Connected) {
        closeSocket(s);
        return -1;
    }
    // Telegrams are small and a stop must not wait for the acknowledgement
    // of the telegram before it; a refusal leaves the socket usable.
    plat::sendAtOnce(s);
    return s;
}

bool resolveIpv4(const char* host, uint32_t* addressNetworkOrder) {
    if (!host || !host[0]) return false;
    struct addrinfo hints = {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    struct addrinfo* answer = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &answer) != 0 || !answer) return false;
    bool found = false;
    for (const struct addrinfo* it = answer; it && !found; it = it->ai_next) {
        if (it->ai_family != AF_INET || !it->ai_addr) continue;
        *addressNetworkOrder = reinterpret_cast<const struct sockaddr_in*>(it->ai_addr)->sin_addr.s_addr;
        found = true;
    }
    freeaddrinfo(answer);
    return found;
}

int sendAll(int socket, int length, const void* data) {
    const char* bytes = static_cast<const char*>(data);
    int remaining = length;
    int n = 1;
    while (remaining > 0) {
        n = static_cast<int>(send(socket, bytes + (length - remaining), remaining, plat::kSendFlags));
        if (n < 0 && plat::socketCallInterrupted()) continue;
        if (n <= 0) break;
        remaining -= n;
    }
    if (length < 0 || n <= 0) {
        traceOsError(false, "Send to controller: send() failed", true);
        return -1;
    }
    return 0;
}

void shutdownSocket(int socket) { plat::shutdownSocketDescriptor(socket); }

void closeSocket(int socket) { plat::closeSocketDescriptor(socket); }

std::string dottedAddress(uint32_t addressNetworkOrder) {
    struct in_addr in;
    in.s_addr = addressNetworkOrder;
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &in, text, sizeof text);
    return text;
}

}  // namespace net
