// A UcDevice whose receive side plays a script of deliveries and whose
// send side records every telegram, optionally answering GETs like a
// controller. For registry tests that need exact control of the device.
#ifndef TESTS_LINK_SCRIPTED_DEVICE_H
#define TESTS_LINK_SCRIPTED_DEVICE_H

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

#include "transport/uc_device.h"

class ScriptedDevice : public UcDevice {
public:
    struct Delivery {
        int result;
        std::vector<uint8_t> bytes;  // copied on result 0
    };

    explicit ScriptedDevice(int32_t type = UC_DEVICE_USB, uint8_t variantFlag = 0, const char* label = "SCRIPTED")
        : UcDevice(type, variantFlag), label_(label) {}
    ~ScriptedDevice() override {
        if (destroyed) *destroyed = true;
    }

    int connect() override;
    int disconnect() override;
    int receive(void* buffer, int* length) override;
    int send(int length, const void* data) override;
    int resync() override;
    const char* name() override { return label_; }

    void deliver(int result, std::vector<uint8_t> bytes = {});
    // Answers every later GET of address with an ACK (correlation 1).
    void answer(int32_t address, int32_t value);
    // Disconnects itself when a GET of address arrives.
    void dropOnGet(int32_t address);

    std::vector<std::vector<uint8_t>> sent() const;
    std::vector<int> askedLengths() const;  // length argument of each receive
    int gets(int32_t address) const;        // GET telegrams sent for address

    int connectResult = 0;
    // connect() takes this long, so that a test can act while it runs.
    std::atomic<int> connectDelayMs{0};
    int idleMs = 20;  // receive wait when the script is empty
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
};

#endif
