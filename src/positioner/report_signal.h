// Tells threads that wait for reports of one handle that the receive
// thread applied a TELL or ACK that changed a cached value. Every change
// gets the next number of one sequence, and each axis remembers the number
// of its latest change, so any number of waiters, each with a cursor of its
// own, see every change without missing one between two waits.
#ifndef POSITIONER_REPORT_SIGNAL_H
#define POSITIONER_REPORT_SIGNAL_H

#include <cstdint>

#include "axis_cache.h"
#include "threads/condition.h"

namespace pos {

struct HandleEntry;

class ReportSignal {
public:
    // At connect, before the receive thread starts: numbering starts anew.
    void restart();
    // Receive thread: a cached value of the axis changed.
    void noteChange(int axis);
    // Lets every waiter look at the handle again (its connection ended or
    // it is being closed).
    void wakeAll();
    // Waits until a change numbered after *cursor: RC_OK, with the newest
    // number in *cursor and a bit per axis changed since in *changedAxes;
    // RC_TIMEOUT after timeoutMs without one; RC_NOT_CONNECTED as soon as
    // the handle is not usable.
    int wait(const HandleEntry& h, uint32_t* cursor, int timeoutMs, int32_t* changedAxes);

private:
    Condition condition_;
    uint32_t sequence_ = 0;
    uint32_t changedAt_[kAxisCount] = {};
};

// PositionerWaitReport: the handle's checks, then ReportSignal::wait.
int32_t waitReport(int32_t handle, uint32_t* sequence, int32_t timeoutMs, int32_t* changedAxes);

}  // namespace pos

#endif
