#include <atomic>

#include "sockets.h"

namespace {

// Set by the first start; sockets are never stopped afterwards.
std::atomic<bool> started{false};

}  // namespace

int startSockets() {
    // BSD sockets need no start-up; the flag keeps the once-per-process
    // record that the other platform's start relies on.
    started.store(true, std::memory_order_release);
    return 0;
}

bool socketsStarted() { return started.load(std::memory_order_acquire); }
