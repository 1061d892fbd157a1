#include <atomic>

#include "platform/socket_os.h"
#include "sockets.h"

namespace net {

namespace {

// Set by the first successful start; sockets are never stopped afterwards.
std::atomic<bool> started{false};

}  // namespace

int startSockets() {
    if (started.load(std::memory_order_acquire)) return 0;
    const int error = plat::startSocketLayer();
    if (error == 0) started.store(true, std::memory_order_release);
    return error;
}

bool socketsStarted() { return started.load(std::memory_order_acquire); }

}  // namespace net
