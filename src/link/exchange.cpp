// Telegram receive with completion and out-of-step handling, the GET
// exchange with its time limit, and the register cache in front of it.
#include <algorithm>

#include "ithreads.h"
#include "registry.h"
#include "wire/registers.h"
#include "wire/telegram.h"
#include "wire/tick.h"
#include "uc_link.h"
#include "wire/timing.h"

namespace {

// Reads the rest of a telegram that the device delivered in part, as many
// reads as the pieces need: a telegram is passed on only when whole, never
// padded with what an earlier telegram left in the buffer. The length word
// itself may come in pieces. Each read adds at least one byte to a telegram
// of at most 512, and reads that bring nothing are limited in number, so
// the caller is held for at most that many receive waits plus the pieces.
// A telegram announced larger than the buffer is never completed into it.
int completeTelegram(UcDevice& device, UcTelegram* buffer, int got) {
    char* bytes = reinterpret_cast<char*>(buffer);
    int idleReads = 0;
    for (;;) {
        const int64_t announced = got < 4 ? 4 : uc::wireSize(uc::length(*buffer));
        if (got >= 4 && got >= announced) return RC_OK;
        if (announced > UC_MAX_TELEGRAM) {
            traceError(false, "UC recv: Length too large (%lld), assuming out of sync",
                       static_cast<long long>(announced));
            return RC_OUT_OF_SYNC;
        }
        const int missing = static_cast<int>(announced) - got;
        int want = missing;
        const int result = device.receive(bytes + got, &want);
        if (result != RC_OK && result != RC_TIMEOUT) return result;
        if (result == RC_TIMEOUT || want <= 0) {
            if (++idleReads >= UC_COMPLETION_ATTEMPTS) return RC_TIMEOUT;
            continue;
        }
        got += std::min(want, missing);
    }
}

}  // namespace

int UC_recv(UcDevice& device, UcTelegram* buffer) {
    int got = 0;
    int result = device.receive(buffer, &got);
    if (result == RC_OK) result = completeTelegram(device, buffer, got);
    if (device.isResyncableStream()) {
        if (result == RC_OUT_OF_SYNC) {
            UC_startSync(device);
            return RC_OUT_OF_SYNC;
        }
        if (result == RC_OK && uc::opcode(*buffer) != UC_OP_ACK && uc::address(*buffer) == uc::reg::kSync) {
            // The controller reports that it lost step; give it time to
            // recover. The telegram is dropped.
            traceError(false, "Controller is out of sync, sleeping");
            IThread::sleep(uc::kOutOfStepPauseMs);
            return RC_TIMEOUT;
        }
    }
    return result;
}

int UC_startSync(UcDevice& device) {
    if (!device.isResyncableStream()) return RC_OK;
    int result = UC_sendHeader(device, uc::reg::kSync, UC_OP_SET);
    if (result == RC_OK) result = device.resync();
    return result;
}

int UC_sendHeader(UcDevice& device, int address, int opcode) {
    UcTelegram request = {};
    const int32_t resyncWord = 0;
    int bytes = opcode == UC_OP_GET ? uc::buildGet(request, address, 0, 1)
                                    : uc::build(request, opcode, address, 0, 0, &resyncWord, 1);
    return UC_send(device, bytes, &request);
}

bool UC_isReply(const UcTelegram* tel) {
    if (!tel) return false;
    const int32_t opcode = uc::opcode(*tel);
    const int32_t correlation = uc::correlation(*tel);
    return (opcode == UC_OP_ACK && correlation == 1) || (opcode == UC_OP_TELL && (correlation & 0xFFFF) == 0);
}

int UC_request(UcDevice& device, int address, int* value) {
    int result = UC_sendHeader(device, address, UC_OP_GET);
    if (result != RC_OK) return result;
    UcTelegram reply = {};  // holds no telegram yet: not a final reply
    result = RC_TIMEOUT;
    const int64_t start = uc::tickMs();
    while (result == RC_TIMEOUT) {
        if (uc::tickMs() - start >= uc::kRequestLimitMs) break;
        if (!UC_isConnected(device) || abortRequested) break;
        result = UC_recv(device, &reply);
        // A failed receive (a closed peer, a lost device) ends the exchange
        // with its code: asking again would only fail again, at once.
        if (result != RC_OK && result != RC_TIMEOUT && result != RC_OUT_OF_SYNC) {
            traceError(false, "recv rc %d, connected %d", result, UC_isConnected(device) ? 1 : 0);
            break;
        }
        // Out of step, or still no final reply in hand: ask again.
        if (result == RC_OUT_OF_SYNC || !UC_isReply(&reply)) {
            UC_sendHeader(device, address, UC_OP_GET);
            result = RC_TIMEOUT;
        }
        // A reply for another register: keep waiting without a new request.
        if (result == RC_OK && uc::address(reply) != address) result = RC_TIMEOUT;
    }
    if (!UC_isConnected(device)) result = RC_NOT_CONNECTED;
    if (result == RC_OK && value) *value = uc::ackValue(reply);
    return result;
}

int UC_getValue(UcDevice& device, int address, int* value, int fallback) {
    if (address <= 0) return RC_OK;
    int32_t v = 0;
    UcLinkState& link = device.link();
    const bool cached = link.cachedValue(address, &v);
    if (!cached && link.identityFallback && fallback != UC_NO_FALLBACK) {
        v = fallback;
    } else if (!cached) {
        if (!UC_isConnected(device)) return RC_NOT_CONNECTED;
        int result = RC_OUT_OF_SYNC;
        for (int attempt = 0; attempt < UC_REQUEST_ATTEMPTS && result == RC_OUT_OF_SYNC; ++attempt)
            result = UC_request(device, address, &v);
        if (result != RC_OK) return result;
    }
    link.storeValue(address, v);
    if (value) *value = v;
    return RC_OK;
}

int UC_getType(UcDevice& device, int* value) {
    return UC_getValue(device, uc::reg::kControllerType, value, UC_IDENTITY_FALLBACK);
}

int UC_getId(UcDevice& device, int* value) {
    return UC_getValue(device, uc::reg::kControllerId, value, UC_IDENTITY_FALLBACK);
}
