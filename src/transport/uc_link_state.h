// What the link layer keeps with each connection object, apart from the
// transport: whether it is connected, the background connect's progress,
// whether identity reads may answer a default, and the cache of values
// read by GET.
//
// Locking: connected, connectRunning and linkStatus are atomic words with
// one writer at a time (connected: the transport's connect, disconnect and
// a receive that finds the device gone; the other two: the background
// connect) and any number of readers, so they take no lock. The value cache
// is filled by a GET exchange on a caller's thread or on the background
// connect and read by others: its own mutex guards every access.
#ifndef TRANSPORT_UC_LINK_STATE_H
#define TRANSPORT_UC_LINK_STATE_H

#include <atomic>
#include <cstdint>
#include <map>

#include "ithreads.h"
#include "threads/mutex_guard.h"

class UcLinkState {
public:
    explicit UcLinkState(bool identityFallback) : identityFallback(identityFallback) {}
    UcLinkState(const UcLinkState&) = delete;
    UcLinkState& operator=(const UcLinkState&) = delete;

    // Identity reads (controller type and id) that are not cached yet may
    // answer a default instead of asking the controller: devices of the
    // variant-1 list.
    const bool identityFallback;

    std::atomic<bool> connected{false};
    std::atomic<bool> connectRunning{false};
    std::atomic<int32_t> linkStatus{0};  // background connect: step << 16 | state

    // The value read earlier for a register address, if any.
    bool cachedValue(int32_t address, int32_t* value) const {
        MutexGuard guard(cacheLock_);
        auto found = values_.find(address);
        if (found == values_.end()) return false;
        *value = found->second;
        return true;
    }
    void storeValue(int32_t address, int32_t value) {
        MutexGuard guard(cacheLock_);
        values_[address] = value;
    }
    bool hasCachedValues() const {
        MutexGuard guard(cacheLock_);
        return !values_.empty();
    }

private:
    mutable IMutex cacheLock_;
    std::map<int32_t, int32_t> values_;
};

#endif
