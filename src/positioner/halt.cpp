#include "halt.h"

#include "handle_table.h"
#include "wire/registers.h"

namespace pos {

namespace {

// SET 1037 := 0 ends an approach, so that the controller does not drive
// the axis back to its target after the stop; SET 1107 := 1 stops it. Both
// are sent whatever the first one's result; the first failure is returned.
int sendHalt(HandleEntry& h, int32_t axis) {
    const int approach = sendSet(h, uc::reg::kApproach, axis, 0);
    const int stop = sendSet(h, uc::reg::kStop, axis, 1);
    return approach != RC_OK ? approach : stop;
}

}  // namespace

int32_t haltAxis(int32_t handle, int32_t axis) {
    HandleUse use(handle);
    HandleEntry* h = use.entry();
    if (!h) return RC_NOT_CONNECTED;
    if (!validAxis(axis)) return RC_INVALID_PARAM;
    RequestScope scope(*h);
    return sendHalt(*h, axis);
}

int32_t haltAllAxes(int32_t handle) {
    HandleUse use(handle);
    HandleEntry* h = use.entry();
    if (!h) return RC_NOT_CONNECTED;
    RequestScope scope(*h);
    int result = RC_OK;
    for (int32_t axis = 0; axis < kAxisCount; ++axis) {
        const int rc = sendHalt(*h, axis);
        if (result == RC_OK) result = rc;
    }
    return result;
}

}  // namespace pos
