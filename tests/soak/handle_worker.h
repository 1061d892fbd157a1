// Drives one controller through one Positioner handle while faults come
// and go: random setters, moves, cached and querying getters, closes and
// reconnects. Every call is timed against its bound and its result checked
// against the codes it may give; what breaks a rule is recorded.
#ifndef TESTS_SOAK_HANDLE_WORKER_H
#define TESTS_SOAK_HANDLE_WORKER_H

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <string>
#include <vector>

#include "sim_controller.h"
#include "soak_plan.h"

namespace soak {

// Rule breaks found by any worker, kept up to a limit.
class Findings {
public:
    void add(const std::string& what);
    int count() const;
    std::string summary() const;

private:
    mutable std::mutex lock_;
    std::vector<std::string> kept_;
    int count_ = 0;
};

struct WorkerStats {
    long long calls = 0;
    int timeouts = 0;     // querying getters that got no reply
    int disconnects = 0;  // handles found disconnected
    int reconnects = 0;
};

class HandleWorker {
public:
    HandleWorker(int32_t device, sim::Controller& controller, uint32_t seed, const CallBounds& bounds,
                 Findings& findings);
    HandleWorker(const HandleWorker&) = delete;
    HandleWorker& operator=(const HandleWorker&) = delete;

    // Opens the handle; false when the connect failed (recorded).
    bool open();
    int32_t handle() const { return handle_; }
    // Random calls until stop is set.
    void run(const std::atomic<bool>& stop);
    // With the faults off: the handle open again, every axis at rest, then
    // a last TELL of each axis's position, which the cache must return and
    // keep.
    void checkLastPositions();
    // Closes the handle for good; the number must be free afterwards.
    void close();
    const WorkerStats& stats() const { return stats_; }

private:
    void step();
    void handleLost(const char* call);
    // Runs call, times it and checks its result; returns the result.
    template <class Call>
    int32_t checked(const char* name, int boundMs, std::initializer_list<int32_t> allowed, Call call);
    uint32_t random();
    int32_t randomAxis() { return static_cast<int32_t>(random() % 6); }

    const int32_t device_;
    sim::Controller& controller_;
    uint32_t rng_;
    const CallBounds bounds_;
    Findings& findings_;
    int32_t handle_ = -1;
    WorkerStats stats_;
};

}  // namespace soak

#endif
