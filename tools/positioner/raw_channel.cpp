#include "raw_channel.h"

#include <chrono>
#include <string>
#include <vector>

#include "exit_codes.h"
#include "output.h"
#include "results.h"
#include "tormak.h"
#include "trace.h"

namespace {

constexpr int kReplyLimitMs = 3000;
constexpr int32_t kCorrelation = 7;

void put32(unsigned char* at, int32_t value) {
    const uint32_t v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(v >> (8 * i));
}

int32_t get32(const unsigned char* at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | at[i];
    return static_cast<int32_t>(v);
}

}  // namespace

RawChannel::~RawChannel() {
    if (handle_ > 0) TMK_shutdown(handle_);
}

int RawChannel::open() {
    if (!settings_.address.empty() || settings_.device >= 0) {
        complain(
            "get and set use the raw channel, which finds controllers by its own scan; choose the controller "
            "with --id instead of %s",
            settings_.address.empty() ? "--device" : "--address");
        return kExitUsage;
    }
    // tormak writes nothing until its tracing is set up: only for --trace
    // (standard error) or --log (the record of dravex, which writes to the
    // log file; this program binds traceGetParamset to dravex, linked first).
    if (!settings_.logFile.empty()) {
        TMK_initTrace(traceGetParamset());
    } else if (settings_.trace) {
        TMK_initTrace(nullptr);
    }
    int count = 0;
    if (TMK_presence(&count, false) != RC_OK || count <= 0) {
        complain(
            "the raw channel found no controller on USB or the local network; check that it is switched on "
            "and connected");
        return kExitNoController;
    }
    std::vector<int> ids;
    for (int device = 0; device < count; ++device) {
        int handle = -1, id = -1;
        if (TMK_init(device, &handle) != RC_OK || handle <= 0) continue;
        const bool identified = TMK_getId(handle, &id) == RC_OK;
        if (identified && (settings_.hardwareId < 0 ? count == 1 : id == settings_.hardwareId)) {
            handle_ = handle;
            return kExitOk;
        }
        TMK_shutdown(handle);
        if (identified) ids.push_back(id);
    }
    std::string list;
    for (int id : ids) list += (list.empty() ? "" : ", ") + std::to_string(id);
    if (settings_.hardwareId >= 0) {
        complain("the raw channel found no controller with hardware id %d (found: %s)", settings_.hardwareId,
                 list.empty() ? "none that answered" : list.c_str());
    } else if (count > 1) {
        complain("the raw channel found %d controllers (hardware ids %s); choose one with --id", count,
                 list.c_str());
    } else {
        complain(
            "the raw channel cannot open the controller it found; close other programs using it and retry");
    }
    return kExitNoController;
}

int RawChannel::exchange(bool set, int32_t reg, int32_t index, int32_t value, RegisterReply* reply) {
    unsigned char request[24] = {};
    const int size = set ? 24 : 20;
    put32(request, size - 4);
    put32(request + 4, set ? UC_OP_SET : UC_OP_GET);
    put32(request + 8, reg);
    put32(request + 12, index);
    put32(request + 16, kCorrelation);
    put32(request + 20, value);
    const char* what = set ? "write" : "read";
    if (!reportResult(TMK_send(handle_, size, request), "%s register %d (0x%X) index %d", what, reg, reg,
                      index))
        return kExitFailed;
    // Reports the controller sends meanwhile are skipped.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReplyLimitMs);
    while (std::chrono::steady_clock::now() < deadline) {
        unsigned char buffer[UC_MAX_TELEGRAM] = {};
        const int rc = TMK_recv(handle_, sizeof buffer, buffer);
        if (rc == RC_TIMEOUT || rc == RC_OUT_OF_SYNC) continue;
        if (!reportResult(rc, "%s register %d (0x%X) index %d", what, reg, reg, index)) return kExitFailed;
        const int32_t length = get32(buffer);
        if (get32(buffer + 4) != UC_OP_ACK || get32(buffer + 8) != reg || get32(buffer + 12) != index ||
            length < 16 + 8)
            continue;
        reply->reason = get32(buffer + 20);
        reply->value = get32(buffer + 24);
        return kExitOk;
    }
    complain(
        "cannot %s register %d (0x%X) index %d: the controller did not acknowledge it within %d s; check that "
        "it is switched on and connected",
        what, reg, reg, index, kReplyLimitMs / 1000);
    return kExitFailed;
}
