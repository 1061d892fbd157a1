// The libusb transport's ring: bulk transfers of any content and length,
// and failed or timed-out reads, delivered by the fake libusb to the
// reader thread of a UcUsbLibDevice, taken out again by the registry's
// receive (whole telegrams, completion of split ones) until the ring is
// empty or the device closed itself.
//
// Input: one ring byte (low nibble: slot size step, bits 4-5: extra
// slots), then items of [kind byte][16-bit count][count bytes]. Kind mod 4:
// 0, 1 a transfer of those bytes; 2 a read that times out; 3 a read that
// fails (the device closes itself).
#include <usb.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

#include "fake_libusb.h"
#include "fuzz_input.h"
#include "link/uc_link.h"
#include "trace.h"
#include "transport/usblib/uc_usb_lib_device.h"

namespace {

constexpr uint16_t kVendor = 0x16C0;
constexpr uint16_t kProduct = 0x055B;
constexpr int kSmallestSlot = 1024;
constexpr int kSlotStep = 64;
constexpr int kFewestSlots = 2;
constexpr uint16_t kLargestTransfer = 0x0FFF;
// The reader asks the fake's peer once every queued item is taken; it then
// pauses this long per read, so that it does not spin.
constexpr int kIdleReadUs = 100;

// Once the reader has taken every queued item, every receive is woken at
// once instead of waiting for data that cannot come any more.
class FuzzedUsbDevice : public UcUsbLibDevice {
public:
    explicit FuzzedUsbDevice(fake_libusb::Device* fake) : UcUsbLibDevice(0, 0, UC_usbRingConfig()) {
        fake_libusb::Peer idle;
        idle.read = [this](fake_libusb::Bytes&, int, size_t) {
            drained_ = true;
            cancelReceive();
            std::this_thread::sleep_for(std::chrono::microseconds(kIdleReadUs));
            return false;
        };
        fake_libusb::setPeer(fake, idle);
    }
    // The reader calls back into this object: it is stopped before the
    // object goes.
    ~FuzzedUsbDevice() override { disconnect(); }
    int receive(void* buffer, int* length) override {
        if (drained_) cancelReceive();
        return UcUsbLibDevice::receive(buffer, length);
    }
    bool drained() const { return drained_; }

private:
    std::atomic<bool> drained_{false};
};

void queueItems(fuzzin::Input& in, fake_libusb::Device* fake) {
    while (!in.empty()) {
        const uint8_t kind = in.byte() % 4;
        const uint16_t count = in.u16() & kLargestTransfer;
        if (kind == 2) {
            fake_libusb::pushReadResult(fake, -ETIMEDOUT);
        } else if (kind == 3) {
            fake_libusb::pushReadResult(fake, -EIO);
        } else {
            fake_libusb::pushTransfer(fake, in.bytes(count));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzin::traceToNowhere(TraceCategoryMask);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzin::Input in(data, size);
    const uint8_t ring = in.byte();
    UC_setUsbBuffers(kSmallestSlot + (ring & 0x0F) * kSlotStep, kFewestSlots + ((ring >> 4) & 3));

    fake_libusb::reset();
    fake_libusb::Device* fake = fake_libusb::addDevice(fake_libusb::addBus(), kVendor, kProduct);
    queueItems(in, fake);
    {
        FuzzedUsbDevice device(fake);
        device.ring().usbDevice = usb_get_busses()->devices;
        FUZZ_CHECK(device.connect() == RC_OK);
        UcTelegram telegram;
        for (;;) {
            const int result = UC_recv(device, &telegram);
            if (result == RC_TIMEOUT && device.drained()) break;
            if (result != RC_OK && result != RC_TIMEOUT && result != RC_OUT_OF_SYNC) {
                FUZZ_CHECK(!UC_isConnected(device));
                break;
            }
        }
    }
    fake_libusb::reset();
    return 0;
}
