#include "wait.h"

#include <cstdint>

#include "wire/tick.h"

namespace net {

int waitReadable(struct pollfd* sockets, int count, int waitMs) {
    for (int i = 0; i < count; ++i) {
        sockets[i].events = POLLIN;
        sockets[i].revents = 0;
    }
    const int64_t deadline = uc::tickMs() + (waitMs > 0 ? waitMs : 0);
    for (;;) {
        int64_t left = deadline - uc::tickMs();
        if (left < 0) left = 0;
        int n = plat::pollSockets(sockets, count, static_cast<int>(left));
        if (n >= 0 || !plat::socketCallInterrupted()) return n;
    }
}

int waitReadable(int socket, int waitMs) {
    struct pollfd one = {};
    one.fd = socket;
    return waitReadable(&one, 1, waitMs);
}

}  // namespace net
