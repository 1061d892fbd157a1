// Injects the simulator's fault modes at random into a set of running
// controllers: one-shots fire at once, switches stay on for a random time.
#ifndef TESTS_SOAK_FAULT_INJECTOR_H
#define TESTS_SOAK_FAULT_INJECTOR_H

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim_controller.h"

namespace soak {

// A controller to disturb, and whether a USB carrier serves it. The USB
// transports take a telegram's size from the start of what they hold and
// have no stream resynchronisation: a USB controller is never split inside
// its telegrams (a handle reopened in the middle of one would stay
// unframed), gets one fault at a time (bytes lost inside a telegram would
// do the same) and has no connection to close.
struct FaultTarget {
    sim::Controller* controller;
    bool usb;
};

class FaultInjector {
public:
    FaultInjector(std::vector<FaultTarget> targets, uint32_t seed);
    ~FaultInjector();
    FaultInjector(const FaultInjector&) = delete;
    FaultInjector& operator=(const FaultInjector&) = delete;

    void start();
    // Ends the injection and turns every fault off on every controller
    // (switches off, pending one-shots cancelled).
    void stop();
    // How often each fault was injected, by the simulator's fault name.
    std::map<std::string, int> counts() const;

private:
    struct PendingOff {
        size_t controller;
        sim::Controller::Fault fault;
        long long offAtMs;
    };
    void run();
    void injectOne(uint32_t& rng, long long nowMs);
    void turnOffExpired(long long nowMs);

    std::vector<FaultTarget> targets_;
    uint32_t seed_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::vector<PendingOff> pending_;  // injector thread only
    mutable std::mutex countsLock_;
    std::map<std::string, int> counts_;
};

}  // namespace soak

#endif
