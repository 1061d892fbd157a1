#include "receive_thread.h"

#include "dispatcher.h"
#include "handle_table.h"
#include "link/telegram.h"
#include "link/uc_link.h"
#include "trace.h"

namespace pos {

namespace {
constexpr int kTelegramCategory = 0x20;

// Traces show at most the data area of the buffer: a length word above
// the largest telegram, or below the header, is shown as the largest.
void boundLengthForTrace(UcTelegram& tel, int maxTelegram) {
    const int32_t bound = maxTelegram - 4;
    const int32_t length = uc::length(tel);
    if (length > bound || length < 16) uc::put32(&tel, 0, bound);
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
    return result;
}

}  // namespace pos
