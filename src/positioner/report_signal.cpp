#include "report_signal.h"

#include "handle_table.h"
#include "wire/tick.h"

namespace pos {

namespace {
// "a after b" on a sequence that wraps around.
bool after(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b) > 0; }
}  // namespace

void ReportSignal::restart() {
    ConditionGuard guard(condition_);
    sequence_ = 0;
    for (uint32_t& at : changedAt_) at = 0;
}

void ReportSignal::noteChange(int axis) {
    ConditionGuard guard(condition_);
    changedAt_[axis] = ++sequence_;
    condition_.wakeAll();
}

void ReportSignal::wakeAll() {
    // Under the lock: a waiter between its test and its wait cannot miss it.
    ConditionGuard guard(condition_);
    condition_.wakeAll();
}

int ReportSignal::wait(const HandleEntry& h, uint32_t* cursor, int timeoutMs, int32_t* changedAxes) {
    const int64_t deadline = uc::tickMs() + timeoutMs;
    ConditionGuard guard(condition_);
    for (;;) {
        if (!usable(h)) return RC_NOT_CONNECTED;
        if (sequence_ != *cursor) break;
        const int64_t left = deadline - uc::tickMs();
        if (left <= 0) return RC_TIMEOUT;
        condition_.wait(static_cast<int>(left));
    }
    int32_t axes = 0;
    for (int axis = 0; axis < kAxisCount; ++axis) {
        if (after(changedAt_[axis], *cursor)) axes |= 1 << axis;
    }
    *cursor = sequence_;
    *changedAxes = axes;
    return RC_OK;
}

int32_t waitReport(int32_t handle, uint32_t* sequence, int32_t timeoutMs, int32_t* changedAxes) {
    HandleUse use(handle);
    HandleEntry* h = use.entry();
    if (!h) return RC_NOT_CONNECTED;
    if (!sequence || !changedAxes || timeoutMs < 0) return RC_INVALID_PARAM;
    return h->reports.wait(*h, sequence, timeoutMs, changedAxes);
}

}  // namespace pos
