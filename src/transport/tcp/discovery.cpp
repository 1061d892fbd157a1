#include "transport/tcp/discovery.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "wire/tick.h"
#include "net/wait.h"
#include "platform/socket_os.h"
#include "trace.h"
#include "transport/uc_device.h"
#include "transport/tcp/uc_tcp_device.h"
#include "wire/timing.h"

namespace transport {

namespace {

bool resolveGroup(const net::DiscoveryProbe& row, struct sockaddr_in* group) {
    *group = {};
    group->sin_family = AF_INET;
    group->sin_port = htons(row.port);
    return inet_pton(AF_INET, row.group, &group->sin_addr) == 1;
}

}  // namespace

int listLocalAddresses(uint32_t* addresses, int* count) {
    std::vector<uint32_t> local;
    if (!plat::localIpv4Addresses(local)) {
        traceOsError(false, "Searching controller: getaddrinfo() failed", true);
        return -1;
    }
    const int ipv4Count = static_cast<int>(local.size());
    const int capacity = *count;
    int stored = 0;
    for (uint32_t address : local) {
        if (stored >= capacity) break;
        addresses[stored++] = address;
        if (ipv4Count > 1) traceTrace("Searching devices on %s", net::dottedAddress(address).c_str());
    }
    *count = stored;
    return 0;
}

int sendProbe(uint32_t localAddress, const struct sockaddr_in& group, const net::DiscoveryProbe& row) {
    int s = plat::openSocket(SOCK_DGRAM);
    if (s < 0) {
        traceOsError(false, "Searching controller: socket() failed", true);
        return -1;
    }
    struct in_addr outgoing;
    outgoing.s_addr = localAddress;
    setsockopt(s, IPPROTO_IP, IP_MULTICAST_IF, reinterpret_cast<const char*>(&outgoing), sizeof outgoing);
    int sent =
        static_cast<int>(sendto(s, reinterpret_cast<const char*>(row.payload), row.length, plat::kSendFlags,
                                reinterpret_cast<const struct sockaddr*>(&group), sizeof group));
    if (sent < row.length) {
        traceOsError(false, "Searching controller: sendto() failed", true);
        net::closeSocket(s);
        return -1;
    }
    return s;
}

int searchControllers(bool addp, int firstWaitMs, uint32_t* addresses, int* count) {
    const net::DiscoveryProbe& row = net::discoveryProbe(addp);
    const int capacity = *count;
    *count = 0;
    uint32_t local[kMaxLocalAddresses];
    int localCount = kMaxLocalAddresses;
    if (listLocalAddresses(local, &localCount) != 0) return -1;
    struct sockaddr_in group;
    if (!resolveGroup(row, &group)) {
        traceOsError(false, "Searching controller: gethostbyname() failed", true);
        return -1;
    }
    struct pollfd probes[kMaxLocalAddresses];
    int probeCount = 0;
    for (int i = 0; i < localCount; ++i) {
        int s = sendProbe(local[i], group, row);
        if (s >= 0) probes[probeCount++].fd = s;
    }
    // Every probe socket is watched in every wait cycle, so an interface
    // whose controllers answer late is not dropped after a quiet cycle.
    // The waits halve down to the floor; the whole search is bounded.
    int found = 0;
    int result = (probeCount > 0 && capacity > 0) ? 1 : 0;
    const int floorMs = std::min(firstWaitMs, uc::kReplyWaitFloorMs);
    const int64_t end = uc::tickMs() + uc::kSearchLimitMs;
    for (int wait = firstWaitMs; result > 0; wait = std::max(wait / 2, floorMs)) {
        const int64_t left = end - uc::tickMs();
        if (left <= 0) {
            result = 0;
            break;
        }
        int ready = net::waitReadable(probes, probeCount, static_cast<int>(std::min<int64_t>(wait, left)));
        if (ready < 0) {
            traceOsError(false, "Searching controller: select() failed", true);
            result = -1;
        } else if (ready == 0) {
            result = 0;
        }
        for (int i = 0; i < probeCount && result > 0; ++i) {
            if (!probes[i].revents) continue;
            if (!net::takeProbeReply(probes[i].fd, &addresses[found])) continue;
            if (++found >= capacity) result = 0;
        }
    }
    for (int i = 0; i < probeCount; ++i) net::closeSocket(probes[i].fd);
    *count = found;
    return result;
}

int discoverTcpDevices(UcDeviceList& list, bool addp) {
    net::startSockets();
    std::vector<uint32_t> addresses(kMaxDiscovered);
    int count = kMaxDiscovered;
    if (searchControllers(addp, uc::kFirstReplyWaitMs, addresses.data(), &count) != 0) return 0;
    const Route route = addp ? Route::Addp : Route::Velorix;
    for (int i = 0; i < count; ++i) list.push_back(std::make_shared<UcTcpDevice>(addresses[i], route));
    return 0;
}

}  // namespace transport
