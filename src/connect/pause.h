// Millisecond sleeps of the connection library (it has no thread class).
#ifndef CONNECT_PAUSE_H
#define CONNECT_PAUSE_H

#include <chrono>
#include <thread>

namespace tmk {

inline void pauseMs(long long ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace tmk

#endif
