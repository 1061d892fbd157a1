#include "handle_table.h"

#include "ithreads.h"
#include "wire/telegram.h"
#include "link/uc_link.h"
#include "receive_thread.h"
#include "threads/mutex_guard.h"

namespace pos {

namespace {
constexpr int32_t kSetCorrelation = 0;
constexpr int32_t kGetCorrelation = 1;

HandleEntry handles[kHandleCount];
// Serialises the device holds of concurrent connects and closes on
// different handle numbers.
IMutex deviceClaims;
}  // namespace

HandleEntry* handleEntry(int handle) {
    if (handle < 0 || handle >= kHandleCount) return nullptr;
    return &handles[handle];
}

HandleEntry* connectedEntry(int handle) {
    HandleEntry* h = handleEntry(handle);
    return h && usable(*h) ? h : nullptr;
}

// Counted before the test, so a close either sees this use and waits for
// it, or the use sees the close and leaves.
HandleUse::HandleUse(int handle) {
    HandleEntry* h = handleEntry(handle);
    if (!h) return;
    h->users.fetch_add(1);
    counted_ = h;
    if (usable(*h)) entry_ = h;
}

HandleUse::~HandleUse() {
    if (counted_) counted_->users.fetch_sub(1);
}

void wakeWaiters(HandleEntry& h) {
    for (AxisEntry& axis : h.axes) {
        for (auto& w : axis.waits) {
            if (w) w->wakeOne();
        }
    }
    h.queryTurns.wakeAll();
    h.reports.wakeAll();
}

int allocateHandle() {
    for (int n = kFirstHandle; n < kHandleCount; ++n) {
        int expected = 0;
        if (handles[n].inUse.compare_exchange_strong(expected, 1)) return n;
    }
    return -1;
}

void releaseHandle(int handle) {
    if (HandleEntry* h = handleEntry(handle)) h->inUse.store(0);
}

bool anyHandleAllocated() {
    for (const HandleEntry& h : handles) {
        if (h.inUse.load()) return true;
    }
    return false;
}

bool claimDevice(HandleEntry& h, std::shared_ptr<UcDevice> device) {
    MutexGuard guard(deviceClaims);
    for (const HandleEntry& other : handles) {
        if (&other != &h && other.device == device) return false;
    }
    h.device = std::move(device);
    return true;
}

void releaseDevice(HandleEntry& h) {
    std::shared_ptr<UcDevice> dropped;
    {
        MutexGuard guard(deviceClaims);
        dropped.swap(h.device);
    }
    // The object may be destroyed here, outside the lock.
}

int sendSet(HandleEntry& h, int32_t address, int32_t index, int32_t value) {
    RequestScope scope(h);
    int bytes = uc::buildSet(h.requestBuffer, address, index, kSetCorrelation, value);
    return UC_send(*h.device, bytes, &h.requestBuffer);
}

int sendGet(HandleEntry& h, int32_t address, int32_t index) {
    RequestScope scope(h);
    int bytes = uc::buildGet(h.requestBuffer, address, index, kGetCorrelation);
    return UC_send(*h.device, bytes, &h.requestBuffer);
}

}  // namespace pos
