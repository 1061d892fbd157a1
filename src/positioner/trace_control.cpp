#include "trace_control.h"

#include <atomic>

#include "handle_table.h"
#include "link/uc_link.h"
#include "positioner.h"
#include "trace/trace_internal.h"

namespace pos {

namespace {

constexpr const char* kDefaultPrefix = "Positioner";

// Set by the first PositionerTrace* call; PositionerCheck then leaves
// tracing alone.
std::atomic<bool> callerControlsTrace{false};
// Serialises the PositionerTrace* calls.
IMutex controlLock;
// The record switched off by PositionerTraceOff, taken up again by the
// next call that sends lines somewhere.
TraceParams* parkedRecord = nullptr;

void setUpDefaults() {
    traceInit(nullptr, kDefaultPrefix, TraceMessages);
    UC_initTrace(traceGetParamset());
}

// The record the caller's settings go to (under controlLock): the current
// one, else the one switched off, else the default set-up made now.
TraceParams* controlledRecord() {
    callerControlsTrace.store(true);
    if (TraceParams* current = trace_detail::current()) return current;
    if (parkedRecord) return parkedRecord;
    setUpDefaults();
    return trace_detail::current();
}

// Runs fn(record) under controlLock and returns its result.
template <typename Fn>
int32_t withRecord(Fn fn) {
    controlLock.lock();
    const int32_t result = fn(controlledRecord());
    controlLock.unlock();
    return result;
}

// Lines go to the record again after PositionerTraceOff.
void resume(TraceParams* record) {
    parkedRecord = nullptr;
    UC_initTrace(record);
}

}  // namespace

void setUpDefaultTrace() {
    if (callerControlsTrace.load() || anyHandleAllocated()) return;
    setUpDefaults();
}

int32_t traceOff() {
    return withRecord([](TraceParams* record) {
        parkedRecord = record;
        traceInit(static_cast<TraceParams*>(nullptr));
        return RC_OK;
    });
}

int32_t traceToStderr() {
    return withRecord([](TraceParams* record) {
        trace_detail::setRecordFile(record, nullptr);
        resume(record);
        return RC_OK;
    });
}

int32_t traceToFile(const char* path) {
    if (!path || !path[0]) return RC_INVALID_PARAM;
    return withRecord([path](TraceParams* record) {
        if (!trace_detail::setRecordFile(record, path)) return RC_INVALID_PARAM;
        trace_detail::repeatReportsOnStdout(false);
        resume(record);
        return RC_OK;
    });
}

int32_t traceFlags(int32_t flags) {
    return withRecord([flags](TraceParams* record) {
        record->mutex.lock();
        trace_detail::storeFlags(record, flags);
        record->mutex.unlock();
        return RC_OK;
    });
}

int32_t tracePrefix(const char* prefix) {
    return withRecord([prefix](TraceParams* record) {
        trace_detail::setRecordPrefix(record, prefix);
        return RC_OK;
    });
}

}  // namespace pos
