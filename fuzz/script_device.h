// A device of the registry for the Positioner harnesses: receive plays a
// script of results and bytes and then idles, reporting that it ran dry;
// send records every telegram.
#ifndef FUZZ_SCRIPT_DEVICE_H
#define FUZZ_SCRIPT_DEVICE_H

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "fuzz_input.h"
#include "transport/uc_device.h"

namespace fuzzpos {

class ScriptDevice : public UcDevice {
public:
    struct Delivery {
        int result;
        std::vector<uint8_t> bytes;  // handed out on result 0
    };

    // idleWait: how long a receive with nothing to hand out waits.
    // variantFlag 1 (the default): the identity reads send nothing.
    explicit ScriptDevice(std::deque<Delivery> script = {},
                          std::chrono::microseconds idleWait = std::chrono::microseconds(50),
                          uint8_t variantFlag = 1);

    int connect() override;
    int disconnect() override;
    int receive(void* buffer, int* length) override;
    int send(int length, const void* data) override;
    int resync() override { return 0; }
    const char* name() override { return "FUZZ"; }

    // A receive came after the whole script was handed out: the receiver
    // has dealt with every delivery.
    bool idle() const { return idle_; }
    // The telegrams sent since the last call.
    std::vector<std::vector<uint8_t>> takeSent();

private:
    const std::chrono::microseconds idleWait_;
    std::mutex lock_;
    std::deque<Delivery> script_;
    std::vector<std::vector<uint8_t>> sent_;
    std::atomic<bool> idle_{false};
};

// Deliveries from the rest of the input: [kind byte][16-bit count][count
// bytes]; kind mod 8: 0-4 bytes, 5 a time-out, 6 loss of framing, 7 a
// failure (count mod 4 picks -1, 2, 3, 8).
std::deque<ScriptDevice::Delivery> readScript(fuzzin::Input& in);

// Opens a positioner handle on the device through the registry's list;
// -1 when that fails.
int openHandle(const std::shared_ptr<UcDevice>& device);
// Closes the handle and empties the registry's list.
void closeHandle(int handle);

}  // namespace fuzzpos

#endif
