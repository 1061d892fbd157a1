// Controller type and id of the TMK_ family: a GET of register 359 or 360
// answered by the first telegram about that register.
#include "api_state.h"
#include "wire/registers.h"
#include "wire/telegram.h"
#include "tormak.h"
#include "wire/tick.h"
#include "wire/timing.h"

namespace tmk {
namespace {

// A controller that never answers must not hold the caller: each read
// gives up after this long, and a stream that keeps losing framing is
// read again only a few times.
constexpr int kOutOfSyncAttempts = 3;

int readOnce(int handle, int32_t reg, int* value) {
    UcTelegram request;
    const int size = uc::buildGet(request, reg, 0, 1);
    int result = TMK_send(handle, size, &request);
    if (result != RC_OK) return result;
    const int64_t deadline = uc::tickMs() + uc::kRequestLimitMs;
    for (;;) {
        UcTelegram reply = {};
        int bytes = 0;
        result = receiveChecked(handle, &reply, &bytes);
        // Time-outs and telegrams about other registers are skipped.
        if (result == RC_OK && bytes >= static_cast<int>(uc::kAddressEnd) && uc::address(reply) == reg) {
            if (value) *value = uc::ackValue(reply);
            return RC_OK;
        }
        if (result != RC_OK && result != RC_TIMEOUT) return result;
        if (uc::tickMs() >= deadline) return RC_TIMEOUT;
    }
}

int readControllerRegister(int handle, int32_t reg, int* value) {
    const std::map<int, bool>& variants = apiState().handleVariants;
    auto entry = variants.find(handle);
    if (entry == variants.end()) return RC_ERROR;
    // Variant-1 devices do not answer these registers.
    if (entry->second) {
        if (value) *value = -1;
        return RC_OK;
    }
    int result = RC_OUT_OF_SYNC;
    for (int attempt = 0; attempt < kOutOfSyncAttempts && result == RC_OUT_OF_SYNC; ++attempt)
        result = readOnce(handle, reg, value);
    return result;
}

}  // namespace
}  // namespace tmk

extern "C" {

UC_EXPORT int UC_CDECL TMK_getType(int handle, int* type) {
    return tmk::readControllerRegister(handle, uc::reg::kControllerType, type);
}

UC_EXPORT int UC_CDECL TMK_getId(int handle, int* id) {
    return tmk::readControllerRegister(handle, uc::reg::kControllerId, id);
}

}  // extern "C"
