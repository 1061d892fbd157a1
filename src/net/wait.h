// Waiting for sockets to become readable. poll() (WSAPoll on Windows) is
// used rather than select() so that descriptors of any value can be
// watched.
#ifndef NET_WAIT_H
#define NET_WAIT_H

#include "platform/socket_os.h"

namespace net {

// Waits at most waitMs (0: only tests) until one of the sockets is
// readable, closed by the peer or in error; an interrupted wait resumes
// with the time left. Returns the number of such sockets (their revents
// set), 0 on time-out, -1 when the wait failed (socket error number set).
int waitReadable(struct pollfd* sockets, int count, int waitMs);

// The same for one socket.
int waitReadable(int socket, int waitMs);

}  // namespace net

#endif
