// Plain socket routines and the discovery probes, shared by dravex and
// tormak.
#ifndef TRANSPORT_NET_SOCKETS_H
#define TRANSPORT_NET_SOCKETS_H

#include <cstdint>

constexpr int UC_CONTROLLER_PORT = 2101;

int startSockets();
// Returns a connected stream socket, or -1.
int connectToController(uint32_t addressNetworkOrder, int port);
// Bytes read (> 0), 0 on time-out, -1 on a socket failure, -2 out of sync.
int receiveTelegram(int socket, int waitMs, void* buffer);
// 0 quiet, -1 socket failure, -2 not quiet within limitMs.
int syncToStream(int socket, int quietMs, int limitMs);
int sendAll(int socket, int length, const void* data);
// Closes a socket descriptor.
void closeSocket(int socket);

// Discovery probe rows.
struct DiscoveryProbe {
    const char* group;
    uint16_t port;
    unsigned char payload[34];
    int32_t length;
};
const DiscoveryProbe& discoveryProbe(bool addp);

#endif
