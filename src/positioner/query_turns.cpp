#include "query_turns.h"

#include "handle_table.h"
#include "wire/tick.h"

namespace pos {

uint64_t QueryTurns::bit(int axis, Wait wait) {
    return uint64_t{1} << (axis * kWaitCount + static_cast<int>(wait));
}

int QueryTurns::take(const HandleEntry& h, int axis, Wait wait, int limitMs) {
    const uint64_t mine = bit(axis, wait);
    const int64_t deadline = uc::tickMs() + limitMs;
    ConditionGuard guard(condition_);
    for (;;) {
        if (!usable(h)) return RC_NOT_CONNECTED;
        if (!(busy_ & mine)) break;
        const int64_t left = deadline - uc::tickMs();
        if (left <= 0) return RC_TIMEOUT;
        condition_.wait(static_cast<int>(left));
    }
    busy_ |= mine;
    return RC_OK;
}

void QueryTurns::give(int axis, Wait wait) {
    ConditionGuard guard(condition_);
    busy_ &= ~bit(axis, wait);
    condition_.wakeAll();
}

void QueryTurns::wakeAll() {
    // Under the lock: a thread between its test and its wait cannot miss it.
    ConditionGuard guard(condition_);
    condition_.wakeAll();
}

}  // namespace pos
