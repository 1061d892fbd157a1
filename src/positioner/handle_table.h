// The table of positioner handles (numbers 0..99; 0 is never handed out),
// the standard argument checks and the two request builders.
#ifndef POSITIONER_HANDLE_TABLE_H
#define POSITIONER_HANDLE_TABLE_H

#include <atomic>
#include <cstdint>
#include <memory>

#include "axis_cache.h"
#include "uc_telegram.h"

class UcDevice;

namespace pos {

class ReceiveThread;

constexpr int kHandleCount = 100;  // numbers 0..99 pass the range check
constexpr int kFirstHandle = 1;

struct HandleEntry {
    std::atomic<int> inUse{0};
    int deviceNumber = -1;
    // The device object the handle was opened on; held so that a later scan
    // cannot destroy it, and used for all I/O so that the handle stays on
    // its own controller whatever the device numbers mean by then.
    std::shared_ptr<UcDevice> device;
    std::atomic<bool> connected{false};
    std::atomic<bool> running{false};
    std::unique_ptr<UcTelegram> receiveBuffer;
    std::unique_ptr<ReceiveThread> receiveThread;
    UcTelegram requestBuffer{};
    AxisEntry axes[kAxisEntries];
};

// The entry of a handle number, nullptr outside 0..99.
HandleEntry* handleEntry(int handle);
// The entry of a connected handle, nullptr otherwise (result 2).
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

// Build the request in the handle's request buffer and send it; return the
// send's result. SETs carry correlation number 0 and one value word, GETs
// correlation number 1.
int sendSet(HandleEntry& h, int32_t address, int32_t index, int32_t value);
int sendGet(HandleEntry& h, int32_t address, int32_t index);

}  // namespace pos

#endif
