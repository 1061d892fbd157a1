// Finding network controllers: one UDP multicast probe out of every local
// IPv4 address, and the source address of every datagram that answers.
#ifndef TRANSPORT_TCP_DISCOVERY_H
#define TRANSPORT_TCP_DISCOVERY_H

#include <cstdint>

#include "net/sockets.h"
#include "platform/socket_os.h"

namespace transport {

constexpr int kMaxLocalAddresses = 16;
constexpr int kMaxDiscovered = 1024;

// Probes with the ADDP row (addp true) or the "Velorix discovery" row and
// collects reply sources (network byte order). count: capacity in, number
// stored out. 0, or -1 when no search could be made.
int searchControllers(bool addp, int firstWaitMs, uint32_t* addresses, int* count);

// Every local IPv4 address (network byte order) in the order the
// interface list gives them; count: capacity in, number stored out.
// 0 or -1.
int listLocalAddresses(uint32_t* addresses, int* count);

// Sends the probe row to the group out of the interface that holds the
// local address. Returns the UDP socket on which replies arrive, or -1.
int sendProbe(uint32_t localAddress, const struct sockaddr_in& group, const net::DiscoveryProbe& row);

}  // namespace transport

#endif
