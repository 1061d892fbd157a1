// The two discovery probes: an ADDP configuration request for every device
// (magic "DIGI", type 0x0001, payload length 6, MAC FF:FF:FF:FF:FF:FF),
// and the plain-text "Velorix discovery" request with its zero byte.
#include "sockets.h"

#include "platform/socket_os.h"
#include "trace.h"

namespace net {

namespace {

constexpr int kReplyBufferSize = 256;

const DiscoveryProbe kAddpProbe = {
    "224.0.5.128", 2362, {'D', 'I', 'G', 'I', 0x00, 0x01, 0x00, 0x06, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 14};

const DiscoveryProbe kVelorixProbe = {"239.255.170.171", 7071, "Velorix discovery", 18};

}  // namespace

const DiscoveryProbe& discoveryProbe(bool addp) { return addp ? kAddpProbe : kVelorixProbe; }

bool takeProbeReply(int socket, uint32_t* source) {
    char reply[kReplyBufferSize];
    struct sockaddr_in from = {};
    socklen_t fromLength = sizeof from;
    const int n = static_cast<int>(
        recvfrom(socket, reply, sizeof reply, 0, reinterpret_cast<struct sockaddr*>(&from), &fromLength));
    if (n <= 0 || from.sin_family != AF_INET) {
        if (n == 0) plat::clearSocketError();  // an empty datagram: no system error to show
        traceOsError(false, "Searching controller: recvfrom() failed", true);
        return false;
    }
    *source = from.sin_addr.s_addr;
    return true;
}

}  // namespace net
