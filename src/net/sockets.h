// Plain socket routines and the discovery probes, shared by dravex and
// tormak.
#ifndef NET_SOCKETS_H
#define NET_SOCKETS_H

#include <cstdint>
#include <string>

namespace net {

constexpr int kControllerPort = 2101;

// Starts the socket layer once per process (Windows Sockets 2.2; nothing
// needs starting on POSIX, where only the start is recorded). Returns 0, or
// the socket error number when the start failed or gave another version.
int startSockets();
// True once startSockets has run.
bool socketsStarted();
// Returns a connected stream socket, or -1. With limitMs >= 0 a connect
// that neither succeeds nor fails within that many milliseconds is given
// up (the socket waits on every later call as usual).
int connectToController(uint32_t addressNetworkOrder, int port, int limitMs = -1);
// The first IPv4 address of a dotted address or host name (network byte
// order). False when it does not resolve to one; the socket layer must be
// started.
bool resolveIpv4(const char* host, uint32_t* addressNetworkOrder);
// Bytes of a stream read ahead of the telegram that was asked for, served
// to the next reads of the same stream before the socket is read again:
// telegrams that arrive together then cost one read call between them.
// Belongs to the one thread that receives from the stream; emptied when
// the stream is replaced.
struct StreamReadAhead {
    static constexpr int kCapacity = 4096;
    char bytes[kCapacity];
    int begin = 0;
    int end = 0;
    bool filledUp = false;  // the last refill took all it had room for
    int held() const { return end - begin; }
    void clear() {
        begin = end = 0;
        filledUp = false;
    }
};

// The stream routines below take an optional read-ahead; without one every
// byte they consume is read from the socket as it is needed.

// Reads one telegram (at most 512 bytes) into buffer. Bytes read (> 0),
// 0 on time-out, -1 on a socket failure, -2 out of sync.
int receiveTelegram(int socket, int waitMs, void* buffer, StreamReadAhead* ahead = nullptr);
// Skips bytes until the stream stays quiet for quietMs. 0 quiet, -1 socket
// failure, -2 not quiet within limitMs.
int syncToStream(int socket, int quietMs, int limitMs, StreamReadAhead* ahead = nullptr);
// The drain behind syncToStream, without its closing lines (socket
// failures are still reported): *skipped receives the bytes dropped.
// 0 quiet, -1 socket failure, -2 not quiet within limitMs.
int drainStream(int socket, int quietMs, int limitMs, int* skipped, StreamReadAhead* ahead = nullptr);
// Sends all bytes; a closed peer gives -1, never a signal. 0 or -1.
int sendAll(int socket, int length, const void* data);
// Wakes any thread that waits on or reads from the socket (its wait or
// read fails), without releasing the descriptor.
void shutdownSocket(int socket);
// Closes a socket descriptor.
void closeSocket(int socket);
// Dotted-decimal text of an IPv4 address in network byte order.
std::string dottedAddress(uint32_t addressNetworkOrder);

// Discovery probe rows.
struct DiscoveryProbe {
    const char* group;
    uint16_t port;
    unsigned char payload[34];
    int32_t length;
};
// The ADDP row when addp is true, else the "Velorix discovery" row.
const DiscoveryProbe& discoveryProbe(bool addp);
// Reads one datagram of a readable probe socket and stores its source
// address (network byte order). False, with a trace line, when nothing
// could be read.
bool takeProbeReply(int socket, uint32_t* source);

}  // namespace net

#endif
