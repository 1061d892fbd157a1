// The table of positioner handles (numbers 0..99; 0 is never handed out),
// the standard argument checks and the two request builders.
#ifndef POSITIONER_HANDLE_TABLE_H
#define POSITIONER_HANDLE_TABLE_H

#include <atomic>
#include <cstdint>
#include <memory>

#include "axis_cache.h"
#include "ithreads.h"
#include "query_turns.h"
#include "report_signal.h"
#include "uc_telegram.h"

class UcDevice;

namespace pos {

class ReceiveThread;

constexpr int kHandleCount = 100;  // numbers 0..99 pass the range check
constexpr int kFirstHandle = 1;

// Calls on one handle may come from several threads at once:
//   - requestLock guards the request buffer while a function builds and
//     sends its telegrams, never across a wait, so a setter (a stop among
//     them) waits at most for another thread's sends;
//   - querying getters that wait on the same register and axis take turns
//     (queryTurns); all others wait side by side;
//   - cached getters read single atomic words and take no lock;
//   - every call but a cached getter counts itself in `users` while it
//     runs (HandleUse); PositionerClose ends `open`, wakes every waiter,
//     and releases what the handle holds only once `users` is 0.
struct HandleEntry {
    std::atomic<int> inUse{0};
    // From the end of a successful connect until PositionerClose begins.
    std::atomic<bool> open{false};
    std::atomic<int> users{0};
    int deviceNumber = -1;
    // The device object the handle was opened on; held so that a later scan
    // cannot destroy it, and used for all I/O so that the handle stays on
    // its own controller whatever the device numbers mean by then.
    std::shared_ptr<UcDevice> device;
    std::atomic<bool> connected{false};
    std::atomic<bool> running{false};
    std::unique_ptr<UcTelegram> receiveBuffer;
    std::unique_ptr<ReceiveThread> receiveThread;
    IMutex requestLock;
    UcTelegram requestBuffer{};
    AxisEntry axes[kAxisEntries];
    QueryTurns queryTurns;
    ReportSignal reports;
};

// One call in progress on a handle, from construction to destruction.
// entry() is null (result 2) when the handle is not connected or is being
// closed; otherwise the handle stays allocated, with its device, buffers
// and wait conditions, until the use ends.
class HandleUse {
public:
    explicit HandleUse(int handle);
    ~HandleUse();
    HandleUse(const HandleUse&) = delete;
    HandleUse& operator=(const HandleUse&) = delete;
    HandleEntry* entry() const { return entry_; }

private:
    HandleEntry* counted_ = nullptr;
    HandleEntry* entry_ = nullptr;
};

// Holds the handle's request buffer for the telegrams of one function, so
// that another thread's telegrams do not come in between them.
class RequestScope {
public:
    explicit RequestScope(HandleEntry& h) : h_(h) { h_.requestLock.lock(); }
    ~RequestScope() { h_.requestLock.unlock(); }
    RequestScope(const RequestScope&) = delete;
    RequestScope& operator=(const RequestScope&) = delete;

private:
    HandleEntry& h_;
};

// True while calls may go on: connected and not being closed.
inline bool usable(const HandleEntry& h) { return h.open.load() && h.connected.load(); }
// Wakes every thread that waits inside a call on the handle (reply waits,
// turns, report waits), so that it sees the handle gone.
void wakeWaiters(HandleEntry& h);

// The entry of a handle number, nullptr outside 0..99.
HandleEntry* handleEntry(int handle);
// The entry of a connected handle, nullptr otherwise (result 2). For
// cached getters, which touch only words that outlive every connection.
HandleEntry* connectedEntry(int handle);

// Takes the lowest free number of 1..99; -1 when none is free.
int allocateHandle();
void releaseHandle(int handle);
// True while any handle number is allocated.
bool anyHandleAllocated();

// Makes the handle hold the device object. Refuses (false) when another
// handle holds that object already: two receive threads on one connection
// would split its telegrams, and closing one handle would cut the other.
bool claimDevice(HandleEntry& h, std::shared_ptr<UcDevice> device);
// Drops the handle's hold; the object goes when no list or handle has it.
void releaseDevice(HandleEntry& h);

inline bool inRange(int32_t v, int32_t lo, int32_t hi) { return v >= lo && v <= hi; }
inline bool validAxis(int32_t axis) { return inRange(axis, 0, kAxisCount - 1); }

// Build the request in the handle's request buffer and send it, holding
// the buffer meanwhile; return the send's result. SETs carry correlation
// number 0 and one value word, GETs correlation number 1.
int sendSet(HandleEntry& h, int32_t address, int32_t index, int32_t value);
int sendGet(HandleEntry& h, int32_t address, int32_t index);

}  // namespace pos

#endif
