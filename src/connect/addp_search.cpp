#include "addp_search.h"

#include <cstring>

#include "platform/socket_os.h"
#include "trace.h"
#include "net/sockets.h"
#include "net/wait.h"

namespace tmk {
namespace {

// Host-name lookup of the probe's group text, with the probe's port.
bool resolveGroup(const net::DiscoveryProbe& row, struct sockaddr_in* group) {
    struct addrinfo hints = {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    struct addrinfo* answer = nullptr;
    if (getaddrinfo(row.group, nullptr, &hints, &answer) != 0 || !answer) return false;
    std::memcpy(group, answer->ai_addr, sizeof *group);
    group->sin_port = htons(row.port);
    freeaddrinfo(answer);
    return true;
}

bool sendProbe(int socket, const net::DiscoveryProbe& row, const struct sockaddr_in& group) {
    int sent;
    do
        sent = static_cast<int>(sendto(socket, reinterpret_cast<const char*>(row.payload), row.length,
                                       plat::kSendFlags, reinterpret_cast<const struct sockaddr*>(&group),
                                       sizeof group));
    while (sent < 0 && plat::socketCallInterrupted());
    return sent >= row.length;
}

// Collects replies until a quiet wait, a full table or a failure.
int collectReplies(int socket, int waitMs, uint32_t* addresses, int capacity, int* found) {
    while (*found < capacity) {
        int ready = net::waitReadable(socket, waitMs);
        if (ready == 0) return 0;
        if (ready < 0) {
            traceOsError(false, "Searching controller: select() failed", true);
            return -1;
        }
        if (!net::takeProbeReply(socket, &addresses[*found])) return -1;
        ++*found;
    }
    return 0;
}

}  // namespace

int searchAddp(int waitMs, uint32_t* addresses, int capacity, int* found) {
    *found = 0;
    const net::DiscoveryProbe& row = net::discoveryProbe(true);
    int s = plat::openSocket(SOCK_DGRAM);
    if (s < 0) {
        traceOsError(false, "Searching controller: socket() failed", true);
        return -1;
    }
    struct sockaddr_in group = {};
    int result = -1;
    if (!resolveGroup(row, &group)) {
        traceOsError(false, "Searching controller: gethostbyname() failed", true);
    } else if (!sendProbe(s, row, group)) {
        traceOsError(false, "Searching controller: sendto() failed", true);
    } else {
        result = collectReplies(s, waitMs, addresses, capacity, found);
    }
    net::closeSocket(s);
    return result;
}

}  // namespace tmk
