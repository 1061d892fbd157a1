// The two discovery probes: an ADDP configuration request for every device
// (magic "DIGI", type 0x0001, payload length 6, MAC FF:FF:FF:FF:FF:FF),
// and the plain-text "Velorix discovery" request with its zero byte.
#include "sockets.h"

namespace {

const DiscoveryProbe kAddpProbe = {
    "224.0.5.128", 2362,
    {'D', 'I', 'G', 'I', 0x00, 0x01, 0x00, 0x06, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 14};

const DiscoveryProbe kVelorixProbe = {"239.255.170.171", 7071, "Velorix discovery", 18};

}  // namespace

const DiscoveryProbe& discoveryProbe(bool addp) { return addp ? kAddpProbe : kVelorixProbe; }
