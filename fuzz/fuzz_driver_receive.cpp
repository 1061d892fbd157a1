// The kernel-driver transport's receive: bulk-read completions of any
// content and length from the simulated driver, taken out by the
// registry's receive (whole telegrams, completion of split ones), then
// optionally the device unplugged. No kernel handle may outlive the
// device object.
//
// Input: one flag byte, then transfers of [16-bit count][count bytes].
// Flag bit 0: the wait for the first read fails; bit 1: the device is
// unplugged once every transfer is taken.
#include <string>

#include <unistd.h>

#include "fuzz_input.h"
#include "link/uc_link.h"
#include "sim_usb_driver.h"
#include "trace.h"
#include "transport/usbdriver/uc_usb_driver_device.h"
#include "platform/usb_driver_protocol.h"

namespace simdrv = plat::simdrv;

namespace {

constexpr uint16_t kLargestTransfer = 0x1FFF;  // the driver cuts it to the read buffer

// Once the driver has been asked for every queued transfer, a receive is
// woken at once instead of waiting for a read that cannot complete.
class FuzzedDriverDevice : public UcUsbDriverDevice {
public:
    FuzzedDriverDevice(simdrv::DeviceId sim, int transfers)
        : UcUsbDriverDevice(1, 0), sim_(sim), transfers_(transfers) {}
    int receive(void* buffer, int* length) override {
        if (simdrv::readRequests(sim_) >= transfers_) cancelReceive();
        return UcUsbDriverDevice::receive(buffer, length);
    }
    bool drained() const { return simdrv::readRequests(sim_) > transfers_; }

private:
    const simdrv::DeviceId sim_;
    const int transfers_;
};

int queueTransfers(fuzzin::Input& in, simdrv::DeviceId sim) {
    int transfers = 0;
    while (!in.empty()) {
        const std::vector<uint8_t> transfer = in.bytes(in.u16() & kLargestTransfer);
        simdrv::queueTransfer(sim, transfer.data(), transfer.size());
        ++transfers;
    }
    return transfers;
}

bool stillReceiving(int result) { return result == RC_OK || result == RC_TIMEOUT || result == RC_OUT_OF_SYNC; }

std::string instanceId() { return "USB\\VID_16C0&PID_055B\\FUZZ" + std::to_string(getpid()); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzin::traceToNowhere(TraceCategoryMask);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzin::Input in(data, size);
    const uint8_t flags = in.byte();
    const int handlesBefore = simdrv::openHandleCount();
    const simdrv::DeviceId sim = simdrv::addDevice(plat::kGuidVariant1, instanceId());
    if (flags & 1) simdrv::failNextReadWait(sim);
    const int transfers = queueTransfers(in, sim);
    {
        FuzzedDriverDevice device(sim, transfers);
        FUZZ_CHECK(device.connect() == RC_OK);
        UcTelegram telegram;
        int result = RC_OK;
        while (stillReceiving(result) && !(result == RC_TIMEOUT && device.drained()))
            result = UC_recv(device, &telegram);
        if (stillReceiving(result) && (flags & 2)) {
            // A read in flight at the unplug completes empty (one time-out);
            // the next request finds the device gone.
            simdrv::removeDevice(sim);
            result = UC_recv(device, &telegram);
            if (result == RC_TIMEOUT) result = UC_recv(device, &telegram);
            FUZZ_CHECK(result == RC_NOT_CONNECTED);
            FUZZ_CHECK(!UC_isConnected(device));
        }
    }
    // Also forgets the device, so that nothing of this input stays behind.
    simdrv::removeAllDevices();
    FUZZ_CHECK(simdrv::openHandleCount() == handlesBefore);
    return 0;
}
