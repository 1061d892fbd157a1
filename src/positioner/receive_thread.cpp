#include "receive_thread.h"

#include "dispatcher.h"
#include "handle_table.h"
#include "wire/telegram.h"
#include "link/uc_link.h"
#include "trace.h"

namespace pos {

namespace {
constexpr int kTelegramCategory = 0x20;

// Traces show at most the data area of the buffer: a length word above
// the largest telegram, or below the header, is shown as the largest.
void boundLengthForTrace(UcTelegram& tel, int maxTelegram) {
    const int32_t bound = maxTelegram - static_cast<int32_t>(uc::kLengthEnd);
    const int32_t length = uc::length(tel);
    if (length > bound || length < uc::kHeaderLength) uc::put32(&tel, uc::kLengthOffset, bound);
}
}  // namespace

void ReceiveThread::run() { result_ = receiveLoop(handle_); }

int receiveLoop(int handle) {
    HandleEntry& h = *handleEntry(handle);
    UcDevice& device = *h.device;
    UcTelegram& tel = *h.receiveBuffer;
    const int maxTelegram = UC_getTransferSize();
    int result = 0;

    while (h.running.load()) {
        const int rc = UC_recv(device, &tel);
        if (rc == RC_TIMEOUT || rc == RC_OUT_OF_SYNC) continue;
        if (rc != RC_OK) {
            // A loop that is being stopped ends without a line.
            if (h.running.load()) traceFatal(false, "UC recv: Receive failed");
            result = -1;
            break;
        }
        const int32_t receivedLength = uc::length(tel);
        boundLengthForTrace(tel, maxTelegram);
        traceTelegram("UC recv", &tel, kTelegramCategory);
        const int32_t opcode = uc::opcode(tel);
        if (opcode == UC_OP_ACK || opcode == UC_OP_TELL) {
            dispatch(h, tel, receivedLength);
        } else {
            traceError(false, "UC recv: telegram unexpected");
        }
    }
    UC_cancelIo(device);
    h.connected.store(false);
    // Getters and report waiters learn of the lost connection at once.
    wakeWaiters(h);
    return result;
}

}  // namespace pos
