// Carrier choice, device numbering, open and close of the TMK_ family.
#include "api_state.h"
#include "tormak.h"
#include "trace/trace_setup.h"

namespace tmk {
namespace {

// First search of the process: USB wins whenever any USB device is
// present; otherwise Ethernet when a controller answers. Without either
// the USB result stands and the next call searches both again.
int chooseCarrier(int* variant1Count, int* variant0Count) {
    ApiState& state = apiState();
    int result = usbCarrier().count(variant1Count, variant0Count);
    if (result == RC_OK && *variant1Count + *variant0Count > 0) {
        state.connectionType = ConnectionType::Usb;
        return RC_OK;
    }
    int ethVariant1 = 0, ethVariant0 = 0;
    if (ethernetCarrier().count(&ethVariant1, &ethVariant0) == RC_OK && ethVariant0 > 0) {
        state.connectionType = ConnectionType::Ethernet;
        *variant1Count = 0;
        *variant0Count = ethVariant0;
        return RC_OK;
    }
    return result;
}

}  // namespace
}  // namespace tmk

using namespace tmk;

extern "C" {

UC_EXPORT void UC_CDECL TMK_initTrace(TraceParams* params) { traceSetupShared(params); }

UC_EXPORT int UC_CDECL TMK_presence(int* count, bool withVariant) {
    if (!count) return RC_ERROR;
    ApiState& state = apiState();
    int variant1Count = 0, variant0Count = 0;
    const Carrier* carrier = chosenCarrier();
    int result = carrier ? carrier->count(&variant1Count, &variant0Count)
                         : chooseCarrier(&variant1Count, &variant0Count);
    state.variantCount = 0;
    if (result != RC_OK) return result;
    *count = variant0Count;
    if (withVariant) {
        state.variantCount = variant1Count;
        *count += variant1Count;
    }
    return RC_OK;
}

UC_EXPORT int UC_CDECL TMK_init(int deviceNo, int* handle) {
    if (!handle) return RC_ERROR;
    ApiState& state = apiState();
    const Carrier* carrier = chosenCarrier();
    if (!carrier) return RC_ERROR;
    const bool isVariant = deviceNo < state.variantCount;
    if (!isVariant) deviceNo -= state.variantCount;
    int result = carrier->open(deviceNo, isVariant, handle);
    if (result == RC_OK) state.handleVariants[*handle] = isVariant;
    return result;
}

UC_EXPORT int UC_CDECL TMK_shutdown(int handle) {
    const Carrier* carrier = chosenCarrier();
    if (!carrier) return RC_ERROR;
    if (!isOpenHandle(handle)) return RC_NOT_CONNECTED;
    apiState().handleVariants.erase(handle);
    return carrier->close(handle);
}

}  // extern "C"
