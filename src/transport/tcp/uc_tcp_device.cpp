#include "transport/tcp/uc_tcp_device.h"

#include "ithreads.h"
#include "net/sockets.h"
#include "uc_telegram.h"
#include "wire/timing.h"

// Marks one call that uses the socket. Entered before the connected test,
// so a disconnect either sees the call and waits for it, or the call sees
// the disconnect and leaves the socket alone.
class UcTcpDevice::SocketUse {
public:
    explicit SocketUse(UcTcpDevice& device) : device_(device) { ++device_.socketUsers_; }
    ~SocketUse() { --device_.socketUsers_; }
    // The socket, or -1 when the device is not connected.
    int socket() const { return device_.linkState_.connected ? device_.socket_.load() : -1; }

private:
    UcTcpDevice& device_;
};

UcTcpDevice::UcTcpDevice(uint32_t address, transport::Route route)
    : UcDeviceBase(transport::kTcpDevice, false), address_(address), route_(route),
      addressText_(net::dottedAddress(address)) {}

UcTcpDevice::~UcTcpDevice() { disconnect(); }

int UcTcpDevice::connect() {
    if (linkState_.connected) return RC_OK;
    // A controller named by the caller may not be there at all: its connect
    // is bounded. One that answered a probe is connected as it always was.
    const int limitMs = route_ == transport::Route::Address ? uc::kAddressConnectLimitMs : -1;
    int s = net::connectToController(address_, net::kControllerPort, limitMs);
    if (s < 0) return RC_NOT_CONNECTED;
    readAhead_.clear();  // bytes of an earlier connection
    socket_ = s;
    linkState_.connected = true;
    return RC_OK;
}

int UcTcpDevice::disconnect() {
    if (!linkState_.connected) return RC_OK;
    linkState_.connected = false;
    int s = socket_.exchange(-1);
    // Wake a receiver (or sender) inside the socket, and let every such call
    // leave before the descriptor is released and its number reused.
    net::shutdownSocket(s);
    while (socketUsers_ > 0) IThread::sleep(1);
    IThread::sleep(uc::kShortPauseMs);
    net::closeSocket(s);
    IThread::sleep(uc::kShortPauseMs);
    return RC_OK;
}

int UcTcpDevice::receive(void* buffer, int* length) {
    SocketUse use(*this);
    const int s = use.socket();
    if (s < 0) return RC_NOT_CONNECTED;
    int n = net::receiveTelegram(s, uc::kReceiveWaitMs, buffer, &readAhead_);
    if (n == 0) return RC_TIMEOUT;
    if (n > 0) {
        if (length) *length = n;
        return RC_OK;
    }
    return n == -2 ? RC_OUT_OF_SYNC : RC_ERROR;
}

int UcTcpDevice::send(int length, const void* data) {
    SocketUse use(*this);
    const int s = use.socket();
    if (s < 0) return RC_NOT_CONNECTED;
    return net::sendAll(s, length, data) == 0 ? RC_OK : RC_ERROR;
}

int UcTcpDevice::resync() {
    SocketUse use(*this);
    const int s = use.socket();
    if (s < 0) return RC_NOT_CONNECTED;
    switch (net::syncToStream(s, uc::kSyncQuietMs, uc::kSyncLimitMs, &readAhead_)) {
        case 0: return RC_OK;
        case -2: return RC_OUT_OF_SYNC;
        default: return RC_ERROR;
    }
}

const char* UcTcpDevice::name() { return addressText_.c_str(); }
