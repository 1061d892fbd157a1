#include "eth_transport.h"

#include "addp_search.h"
#include "carrier.h"
#include "pause.h"
#include "platform/socket_os.h"
#include "trace.h"
#include "uc_telegram.h"
#include "net/sockets.h"
#include "wire/registers.h"
#include "wire/telegram.h"
#include "wire/tick.h"
#include "wire/timing.h"

namespace tmk {
namespace eth {
namespace {

// Controllers found by the last search, in reply order.
struct AddressTable {
    uint32_t addresses[kMaxControllers];
    int count;
};
AddressTable table = {};

}  // namespace

int count(int* variant1Count, int* variant0Count) {
    net::startSockets();
    table.count = 0;
    int found = 0;
    if (searchAddp(uc::kSearchReplyWaitMs, table.addresses, kMaxControllers, &found) != 0) return RC_ERROR;
    table.count = found;
    *variant1Count = 0;
    *variant0Count = found;
    return RC_OK;
}

int open(int number, bool isVariant, int* handle) {
    if (isVariant || number < 0 || number >= table.count) {
        *handle = 0;
        return RC_NOT_CONNECTED;
    }
    int s = net::connectToController(table.addresses[number], net::kControllerPort);
    // Handles are positive sockets (0 and below mean "not connected"), so
    // a stream that the system numbered 0 is moved to a higher descriptor.
    if (s >= 0) s = plat::socketAboveZero(s);
    if (s <= 0) {
        *handle = -1;
        return RC_NOT_CONNECTED;
    }
    *handle = s;
    return RC_OK;
}

int close(int socket) {
    if (socket <= 0) return RC_NOT_CONNECTED;
    pauseMs(uc::kShortPauseMs);
    net::closeSocket(socket);
    pauseMs(uc::kShortPauseMs);
    return RC_OK;
}

int receive(int socket, void* buffer, int* bytes) {
    *bytes = 0;
    if (socket <= 0) return RC_NOT_CONNECTED;
    int n = net::receiveTelegram(socket, uc::kReceiveWaitMs, buffer);
    if (n == 0) return RC_TIMEOUT;
    if (n > 0) {
        *bytes = n;
        return RC_OK;
    }
    return n == -2 ? RC_OUT_OF_SYNC : RC_ERROR;
}

int send(int socket, int size, const void* data) {
    if (socket <= 0) return RC_NOT_CONNECTED;
    return net::sendAll(socket, size, data) == 0 ? RC_OK : RC_ERROR;
}

int cancel(int) { return RC_OK; }

int resync(int socket) {
    if (socket <= 0) return RC_NOT_CONNECTED;
    const int64_t start = uc::tickMs();
    int skipped = 0;
    int drained = net::drainStream(socket, uc::kSyncQuietMs, uc::kSyncLimitMs, &skipped);
    // The controller is given the whole limit to settle, however soon the
    // line fell quiet.
    pauseMs(uc::kSyncLimitMs - (uc::tickMs() - start));
    traceTrace("Sync finished, %d bytes skipped", skipped);
    if (drained == -2) return RC_OUT_OF_SYNC;
    return drained == 0 ? RC_OK : RC_ERROR;
}

int startSync(int socket) {
    UcTelegram request;
    const int size = uc::buildSet(request, uc::reg::kSync, 0, 0, 0);
    const int result = send(socket, size, &request);
    return result != RC_OK ? result : resync(socket);
}


}  // namespace eth

const Carrier& ethernetCarrier() {
    static const Carrier carrier = {eth::count, eth::open,   eth::close,  eth::receive,
                                    eth::send,  eth::cancel, eth::resync, eth::startSync};
    return carrier;
}

}  // namespace tmk
