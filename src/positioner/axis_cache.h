// Per-axis values that the receive thread stores from ACK and TELL
// telegrams, and the wait conditions through which it hands a reply to a
// getter that waits for it.
#ifndef POSITIONER_AXIS_CACHE_H
#define POSITIONER_AXIS_CACHE_H

#include <atomic>
#include <cstdint>
#include <memory>

#include "ithreads.h"
#include "ranges.h"

namespace pos {

// Cached values; each is filled by one register (dispatcher table).
enum class Field {
    Amplitude,               // 1024
    Frequency,               // 1025
    Status,                  // 1028
    ReferencePosition,       // 1031
    Position,                // 1045
    DcLevel,                 // 1300
    RotationCount,           // 1302
    ReferenceRotationCount,  // 1303
    Speed,                   // 1346
    StepWidth,               // 1353
    DcInEnable,              // 1377
    AcInEnable,              // 1378
    IntEnable,               // 1379
    BandwidthLimitEnable,    // 1384
    CapMeasure,              // 1385
    None
};
constexpr int kFieldCount = static_cast<int>(Field::None);
static_assert(kFieldCount <= 32, "one reported bit per field");

// Wait conditions of one axis entry, in creation (and destruction) order.
enum class Wait {
    FrequencyReady,
    AmplitudeReady,
    DcInEnableReady,
    AcInEnableReady,
    IntEnableReady,
    BandwidthLimitReady,
    CapMeasureReady,
    DcLevelReady,
    None
};
constexpr int kWaitCount = static_cast<int>(Wait::None);

constexpr int kAxisEntries = 7;  // entry 6 exists but is never addressed

// Values are single words written by the receive thread (and by the
// amplitude/frequency setters) and read by callers without a lock.
struct AxisEntry {
    std::atomic<int32_t> values[kFieldCount] = {};
    // A bit per field that the controller reported since the connect: a
    // first report counts as a change even when it repeats the value.
    std::atomic<uint32_t> reported{0};
    // Created by PositionerConnect before the receive thread starts,
    // destroyed by PositionerClose after it has ended.
    std::unique_ptr<IWaitCondition> waits[kWaitCount];

    int32_t get(Field f) const { return values[static_cast<int>(f)].load(std::memory_order_relaxed); }
    void set(Field f, int32_t v) { values[static_cast<int>(f)].store(v, std::memory_order_relaxed); }
    // Receive thread: stores a reported value; true when it changed the
    // cache (another value, or the field's first report since the connect).
    bool apply(Field f, int32_t v) {
        const uint32_t bit = uint32_t{1} << static_cast<int>(f);
        const bool first = !(reported.fetch_or(bit, std::memory_order_relaxed) & bit);
        const int32_t before = values[static_cast<int>(f)].exchange(v, std::memory_order_relaxed);
        return first || before != v;
    }
    IWaitCondition* wait(Wait w) const { return waits[static_cast<int>(w)].get(); }
};

}  // namespace pos

#endif
