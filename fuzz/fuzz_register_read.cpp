// The registry's register read (UC_getValue and its GET exchange) fed any
// sequence of replies: telegrams of any kind and address, split ones,
// time-outs, loss of framing, failures. A loss of framing and two clean
// replies follow the fuzzed ones, so every exchange ends long before its
// time limit. Only GETs of the register may be sent, at most one more than
// there were receives, and a value read must then come from the cache
// without a telegram.
//
// Input: deliveries as for fuzz_dispatch: [kind byte][16-bit count][count
// bytes]; kind mod 8: 0-4 bytes, 5 a time-out, 6 loss of framing, 7 a
// failure (count mod 4 picks -1, 2, 3, 8).
#include <memory>

#include "fuzz_input.h"
#include "wire/telegram.h"
#include "link/uc_link.h"
#include "positioner_harness.h"
#include "trace.h"

namespace {

constexpr int32_t kTypeValue = 0x5123;
constexpr int kCleanReplies = 2;

std::vector<uint8_t> typeReply() {
    UcTelegram t{};
    const int n = uc::buildAck(t, REG_CONTROLLER_TYPE, 0, 1, 0, kTypeValue);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&t);
    return std::vector<uint8_t>(bytes, bytes + n);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzin::traceToNowhere(TraceMessages);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzin::Input in(data, size);
    std::deque<ScriptedDevice::Delivery> script = fuzzpos::readScript(in);
    // A telegram begun by the fuzzed bytes would take the clean replies as
    // its continuation: the stream loses framing first, which drops it.
    script.push_back({RC_OUT_OF_SYNC, {}});
    for (int i = 0; i < kCleanReplies; ++i) script.push_back({RC_OK, typeReply()});
    const size_t deliveries = script.size();
    // Not a variant device: the type is asked for, not taken as -1.
    auto scripted = fuzzpos::makeDevice(std::move(script), std::chrono::microseconds(0), 0);
    ScriptedDevice& device = *scripted;
    FUZZ_CHECK(UC_init(device) == RC_OK);

    int32_t value = 0;
    const int result = UC_getType(device, &value);
    FUZZ_CHECK(!device.idle());  // ended before the clean replies ran out
    const auto sent = device.takeSent();
    FUZZ_CHECK(!sent.empty() && sent.size() <= deliveries + 1);
    for (const auto& t : sent) {
        FUZZ_CHECK(t.size() == UC_HEADER_SIZE && uc::get32(t.data(), uc::kOpcodeOffset) == UC_OP_GET);
        FUZZ_CHECK(uc::get32(t.data(), uc::kAddressOffset) == REG_CONTROLLER_TYPE &&
                   uc::get32(t.data(), uc::kCorrelationOffset) == 1);
    }
    if (result == RC_OK) {
        int32_t again = ~value;
        FUZZ_CHECK(UC_getType(device, &again) == RC_OK && again == value);
        FUZZ_CHECK(device.takeSent().empty());
    }
    UC_shutdown(device);
    return 0;
}
