// Raw telegram channel of the TMK_ family: send, receive with the
// out-of-step handling, cancel, resynchronisation, transfer size.
#include "api_state.h"
#include "wire/registers.h"
#include "wire/telegram.h"
#include "pause.h"
#include "tormak.h"
#include "trace.h"
#include "wire/timing.h"

namespace tmk {

int receiveChecked(int handle, void* buffer, int* bytes) {
    *bytes = 0;
    const Carrier* carrier = chosenCarrier();
    if (!carrier) return RC_ERROR;
    int result = carrier->receive(handle, buffer, bytes);
    if (result == RC_OUT_OF_SYNC) {
        TMK_startSync(handle);
        return RC_OUT_OF_SYNC;
    }
    // A controller that reports the resynchronisation register on its own
    // is out of step with this host; give it time to settle.
    if (result == RC_OK && *bytes >= static_cast<int>(uc::kAddressEnd) &&
        uc::get32(buffer, uc::kOpcodeOffset) != UC_OP_ACK &&
        uc::get32(buffer, uc::kAddressOffset) == uc::reg::kSync) {
        traceError(false, "Controller is out of sync, sleeping");
        pauseMs(uc::kOutOfStepPauseMs);
        return RC_TIMEOUT;
    }
    return result;
}

}  // namespace tmk

using namespace tmk;

extern "C" {

UC_EXPORT int UC_CDECL TMK_getTransferSize(int) { return chosenCarrier() ? UC_MAX_TELEGRAM : RC_ERROR; }

UC_EXPORT int UC_CDECL TMK_send(int handle, int size, const void* data) {
    const Carrier* carrier = chosenCarrier();
    if (!carrier || size < 0 || (!data && size > 0)) return RC_ERROR;
    if (!isOpenHandle(handle)) return RC_NOT_CONNECTED;
    return carrier->send(handle, size, data);
}

UC_EXPORT int UC_CDECL TMK_recv(int handle, int, void* buffer) {
    if (!chosenCarrier() || !buffer) return RC_ERROR;
    if (!isOpenHandle(handle)) return RC_NOT_CONNECTED;
    int bytes = 0;
    return receiveChecked(handle, buffer, &bytes);
}

UC_EXPORT int UC_CDECL TMK_cancelIo(int handle) {
    const Carrier* carrier = chosenCarrier();
    if (!carrier) return RC_ERROR;
    return isOpenHandle(handle) ? carrier->cancel(handle) : RC_NOT_CONNECTED;
}

UC_EXPORT int UC_CDECL TMK_startSync(int handle) {
    const Carrier* carrier = chosenCarrier();
    if (!carrier) return RC_ERROR;
    if (!carrier->startSync) return RC_OK;
    if (!isOpenHandle(handle)) return RC_NOT_CONNECTED;
    return carrier->startSync(handle);
}

}  // extern "C"
