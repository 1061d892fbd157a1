// Operating-system side of the plain socket routines: the system headers,
// socket descriptors, the error number of the last socket call, the wait
// for readable sockets and the local IPv4 addresses. POSIX sockets on
// Linux, Windows Sockets 2 on Windows. Descriptors are ints on both (a
// Windows socket is a kernel handle, whose value fits 32 bits in 64-bit
// processes too; openSocket refuses one that does not fit).
#ifndef PLATFORM_SOCKET_OS_H
#define PLATFORM_SOCKET_OS_H

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#endif

#include <cstdint>
#include <vector>

namespace plat {

#if defined(_WIN32)
constexpr int kSendFlags = 0;  // a closed peer raises no signal here
inline int lastSocketError() { return WSAGetLastError(); }
inline void clearSocketError() { WSASetLastError(0); }
inline bool socketCallInterrupted() { return false; }
// Windows Sockets has no per-call receive that does not wait: reads wait
// for the socket first.
constexpr bool kHasNoWaitReceive = false;
constexpr int kNoWaitReceiveFlag = 0;
inline bool socketWouldBlock() { return WSAGetLastError() == WSAEWOULDBLOCK; }
#else
constexpr int kSendFlags = MSG_NOSIGNAL;  // a closed peer gives EPIPE, not SIGPIPE
inline int lastSocketError() { return errno; }
inline void clearSocketError() { errno = 0; }
inline bool socketCallInterrupted() { return errno == EINTR; }
// A receive that takes only what the socket holds now.
constexpr bool kHasNoWaitReceive = true;
constexpr int kNoWaitReceiveFlag = MSG_DONTWAIT;
inline bool socketWouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK; }
#endif

// Starts the system's socket layer: 0, or its error number.
int startSocketLayer();

// A new IPv4 socket of the given type (SOCK_STREAM, SOCK_DGRAM) that
// programs started later do not inherit; -1 on failure.
int openSocket(int type);
void closeSocketDescriptor(int socket);
// Switches the socket between waiting and non-waiting calls; false on
// failure.
bool setNonBlocking(int socket, bool on);
// Makes every write of a stream socket go out at once, not held back to be
// joined with later ones (Nagle's algorithm); false on failure.
bool sendAtOnce(int socket);
// The failed connect() of a non-waiting socket goes on in the background.
bool connectPending();
// The error that ended a background connect (0: connected); the socket
// error number is set to it.
int connectResult(int socket);
// Ends both directions: a thread waiting on or reading the socket wakes.
void shutdownSocketDescriptor(int socket);
// The socket under a descriptor above 0 (the caller takes 0 for "no
// socket"): itself when it is above 0 already, else a duplicate, the
// original being closed. -1 when no duplicate can be made.
int socketAboveZero(int socket);

// One wait of at most waitMs for the sockets to become readable (revents
// set). Number ready, 0 on time-out, -1 on failure; an interrupted wait
// (socketCallInterrupted) is not resumed here.
int pollSockets(struct pollfd* sockets, int count, int waitMs);

// Every IPv4 address (network byte order) registered for the local
// computer, in the order the system lists them. False on failure, with the
// socket error number set.
bool localIpv4Addresses(std::vector<uint32_t>& addresses);

}  // namespace plat

#endif
