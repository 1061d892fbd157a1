// Connection object of a network controller: raw telegrams over a TCP
// stream to port 2101, framed only by their own length words.
#ifndef TRANSPORT_TCP_UC_TCP_DEVICE_H
#define TRANSPORT_TCP_UC_TCP_DEVICE_H

#include <atomic>
#include <cstdint>
#include <string>

#include "net/sockets.h"
#include "transport/uc_device.h"

class UcTcpDevice : public UcDeviceBase {
public:
    // address: the controller's IPv4 address in network byte order; route:
    // the probe that found it, or transport::Route::Address when the caller named it.
    UcTcpDevice(uint32_t address, transport::Route route);
    ~UcTcpDevice() override;

    int connect() override;
    int disconnect() override;
    int receive(void* buffer, int* length) override;
    int send(int length, const void* data) override;
    int resync() override;
    const char* name() override;
    transport::Origin origin() override { return {transport::CarrierKind::Tcp, route_, addressText_}; }
    bool isResyncableStream() const override { return true; }

    uint32_t address() const { return address_; }

private:
    class SocketUse;

    const uint32_t address_;
    const transport::Route route_;
    // The stream socket while connected, -1 otherwise. Read by the
    // receiving and the sending thread while another may disconnect.
    std::atomic<int> socket_{-1};
    // Calls of receive, send and resync inside the socket; disconnect
    // releases the descriptor only when none is left.
    std::atomic<int> socketUsers_{0};
    // Used by the receiving thread only (receive and resync); emptied when
    // a new socket is made.
    net::StreamReadAhead readAhead_;
    const std::string addressText_;
};

#endif
