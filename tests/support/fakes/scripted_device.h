// A UcDevice whose receive side plays a script of deliveries and whose
// send side records every telegram, optionally answering GETs like a
// controller. The link and Positioner tests and the fuzz targets use it
// where they need exact control of what a device hands out.
#ifndef TESTS_FAKES_SCRIPTED_DEVICE_H
#define TESTS_FAKES_SCRIPTED_DEVICE_H

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

#include "transport/uc_device.h"

class ScriptedDevice : public UcDeviceBase {
public:
    struct Delivery {
        int result;
        std::vector<uint8_t> bytes;  // handed out on result 0
    };

    explicit ScriptedDevice(int32_t type = transport::kUsbDevice, uint8_t variantFlag = 0,
                            const char* label = "SCRIPTED")
        : UcDeviceBase(type, variantFlag != 0), label_(label) {}
    ~ScriptedDevice() override {
        if (destroyed) *destroyed = true;
    }

    int connect() override;
    int disconnect() override;
    // Hands out the next delivery, at most the bytes asked for (a whole
    // telegram's worth when *length is 0). With the script empty, or on a
    // scripted time-out, it waits idleWait and reports a time-out.
    int receive(void* buffer, int* length) override;
    int send(int length, const void* data) override;
    int resync() override;
    const char* name() override { return label_; }
    transport::Origin origin() override {
        return {isResyncableStream() ? transport::CarrierKind::Tcp : transport::CarrierKind::LibUsb,
                transport::Route::Usb, name()};
    }
    bool isResyncableStream() const override { return transport() == transport::kTcpDevice; }

    void deliver(int result, std::vector<uint8_t> bytes = {});
    void deliverAll(std::deque<Delivery> script);
    // Answers every later GET of address with an ACK (correlation 1).
    void answer(int32_t address, int32_t value);
    // Disconnects itself when a GET of address arrives.
    void dropOnGet(int32_t address);

    std::vector<std::vector<uint8_t>> sent() const;
    // The telegrams sent since the last call.
    std::vector<std::vector<uint8_t>> takeSent();
    // Length argument of each receive (the first kAskedRecord of them).
    std::vector<int> askedLengths() const;
    size_t receives() const { return receives_; }
    int gets(int32_t address) const;  // GET telegrams sent for address
    // A receive came after the whole script was handed out: the receiver
    // has dealt with every delivery.
    bool idle() const { return idle_; }

    static constexpr size_t kAskedRecord = 4096;

    int connectResult = 0;
    // connect() takes this long, so that a test can act while it runs.
    std::atomic<int> connectDelayMs{0};
    std::chrono::microseconds idleWait{std::chrono::milliseconds(20)};
    std::atomic<int> connects{0}, disconnects{0}, resyncs{0};
    bool* destroyed = nullptr;

private:
    const char* label_;
    mutable std::mutex lock_;
    std::deque<Delivery> script_;
    std::map<int32_t, int32_t> answers_;
    std::vector<int32_t> dropAddresses_;
    std::vector<std::vector<uint8_t>> sent_;
    std::vector<int> asked_;
    std::atomic<size_t> receives_{0};
    std::atomic<bool> idle_{false};
};

#endif
