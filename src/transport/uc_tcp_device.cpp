#include "uc_tcp_device.h"

#include <arpa/inet.h>

#include "ithreads.h"
#include "net/sockets.h"
#include "uc_telegram.h"

namespace {

constexpr int kReceiveWaitMs = 500;
constexpr int kSyncQuietMs = 500;
constexpr int kSyncLimitMs = 2000;
constexpr int kClosePauseMs = 100;

std::string dottedText(uint32_t address) {
    struct in_addr in;
    in.s_addr = address;
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &in, text, sizeof text);
    return text;
}

}  // namespace

UcTcpDevice::UcTcpDevice(uint32_t address, bool foundByAddp)
    : UcDevice(UC_DEVICE_TCP, 0), address_(address), foundByAddp_(foundByAddp),
      addressText_(dottedText(address)) {}

UcTcpDevice::~UcTcpDevice() { disconnect(); }

int UcTcpDevice::connect() {
    if (connected) return RC_OK;
    int s = connectToController(address_, UC_CONTROLLER_PORT);
    if (s < 0) return RC_NOT_CONNECTED;
    socket_ = s;
    connected = true;
    return RC_OK;
}

int UcTcpDevice::disconnect() {
    if (!connected) return RC_OK;
    connected = false;
    int s = socket_.exchange(-1);
    // Wake a receiver that waits on the socket, and let it leave its wait
    // before the descriptor is released.
    shutdownSocket(s);
    IThread::sleep(kClosePauseMs);
    closeSocket(s);
    IThread::sleep(kClosePauseMs);
    return RC_OK;
}

int UcTcpDevice::receive(void* buffer, int* length) {
    if (!connected) return RC_NOT_CONNECTED;
    int n = receiveTelegram(socket_, kReceiveWaitMs, buffer);
    if (n == 0) return RC_TIMEOUT;
    if (n > 0) {
        if (length) *length = n;
        return RC_OK;
    }
    return n == -2 ? RC_OUT_OF_SYNC : RC_ERROR;
}

int UcTcpDevice::send(int length, const void* data) {
    if (!connected) return RC_NOT_CONNECTED;
    return sendAll(socket_, length, data) == 0 ? RC_OK : RC_ERROR;
}

int UcTcpDevice::resync() {
    if (!connected) return RC_NOT_CONNECTED;
    switch (syncToStream(socket_, kSyncQuietMs, kSyncLimitMs)) {
        case 0: return RC_OK;
        case -2: return RC_OUT_OF_SYNC;
        default: return RC_ERROR;
    }
}

const char* UcTcpDevice::name() { return addressText_.c_str(); }
