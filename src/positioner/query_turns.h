// Turns of the querying getters of one handle. A reply wakes one waiter of
// its wait condition, so two getters that wait on the same register and
// axis at once could take each other's reply: they wait one after the
// other. Getters on other registers or axes do not wait for each other.
#ifndef POSITIONER_QUERY_TURNS_H
#define POSITIONER_QUERY_TURNS_H

#include <cstdint>

#include "axis_cache.h"
#include "threads/condition.h"

namespace pos {

struct HandleEntry;

class QueryTurns {
public:
    // Takes the turn of (axis entry, wait condition): RC_OK with the turn
    // taken; RC_NOT_CONNECTED when the handle went away meanwhile;
    // RC_TIMEOUT when the turn did not come within limitMs.
    int take(const HandleEntry& h, int axis, Wait wait, int limitMs);
    void give(int axis, Wait wait);
    // Lets every thread waiting for a turn look at the handle again.
    void wakeAll();

private:
    static uint64_t bit(int axis, Wait wait);

    Condition condition_;
    uint64_t busy_ = 0;  // one bit per (axis entry, wait condition)
};
static_assert(kAxisEntries * kWaitCount <= 64, "one bit per turn");

}  // namespace pos

#endif
