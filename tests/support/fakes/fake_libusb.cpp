// Fake libusb-0.1: the usb_* functions of usb.h over simulated busses.
#include "fake_libusb.h"

#include <usb.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

namespace fake_libusb {

struct ReadItem {
    int result;  // >= 0: deliver data, < 0: fail with this code
    Bytes data;
};

struct Device {
    struct usb_device record {};
    std::deque<ReadItem> reads;
    std::deque<int> writeResults;
    Peer peer;
    bool openFails = false;
    bool gone = false;
    int claimResult = 0;
    int releaseResult = 0;
    int readWaitCapMs = 0;
    int pendingReads = 0;
    Stats stats;
};

namespace {

struct Bus {
    struct usb_bus record {};
    std::vector<std::unique_ptr<Device>> devices;
};

std::mutex lock;
std::condition_variable changed;
std::vector<std::unique_ptr<Bus>> busses;

// usb_strerror() gives the text of the calling thread's last failure.
thread_local char errorText[128] = "No error";

int fail(int code, const char* what) {
    std::snprintf(errorText, sizeof errorText, "%s: %s", what, std::strerror(-code));
    return code;
}

void relink() {
    for (size_t b = 0; b < busses.size(); ++b) {
        Bus& bus = *busses[b];
        bus.record.prev = b ? &busses[b - 1]->record : nullptr;
        bus.record.next = b + 1 < busses.size() ? &busses[b + 1]->record : nullptr;
        std::snprintf(bus.record.dirname, sizeof bus.record.dirname, "%03zu", b + 1);
        bus.record.location = static_cast<uint32_t>(b + 1);
        for (size_t i = 0; i < bus.devices.size(); ++i) {
            struct usb_device& d = bus.devices[i]->record;
            d.prev = i ? &bus.devices[i - 1]->record : nullptr;
            d.next = i + 1 < bus.devices.size() ? &bus.devices[i + 1]->record : nullptr;
            d.bus = &bus.record;
            std::snprintf(d.filename, sizeof d.filename, "%03zu", i + 1);
        }
        bus.record.devices = bus.devices.empty() ? nullptr : &bus.devices.front()->record;
    }
}

Device* owner(struct usb_device* record) {
    for (auto& bus : busses)
        for (auto& d : bus->devices)
            if (&d->record == record) return d.get();
    return nullptr;
}

}  // namespace

void reset() {
    std::lock_guard<std::mutex> guard(lock);
    busses.clear();
}

int addBus() {
    std::lock_guard<std::mutex> guard(lock);
    busses.push_back(std::make_unique<Bus>());
    relink();
    return static_cast<int>(busses.size()) - 1;
}

Device* addDevice(int bus, uint16_t vendor, uint16_t product) {
    std::lock_guard<std::mutex> guard(lock);
    if (bus < 0 || static_cast<size_t>(bus) >= busses.size()) return nullptr;
    auto device = std::make_unique<Device>();
    device->record.descriptor.bLength = USB_DT_DEVICE_SIZE;
    device->record.descriptor.bDescriptorType = USB_DT_DEVICE;
    device->record.descriptor.idVendor = vendor;
    device->record.descriptor.idProduct = product;
    Device* d = device.get();
    busses[static_cast<size_t>(bus)]->devices.push_back(std::move(device));
    relink();
    return d;
}

void pushTransfer(Device* d, const Bytes& bytes) {
    std::lock_guard<std::mutex> guard(lock);
    d->reads.push_back({static_cast<int>(bytes.size()), bytes});
    changed.notify_all();
}

void pushTransfer(Device* d, const void* bytes, size_t n) {
    const auto* p = static_cast<const uint8_t*>(bytes);
    pushTransfer(d, Bytes(p, p + n));
}

void pushReadResult(Device* d, int result) {
    std::lock_guard<std::mutex> guard(lock);
    d->reads.push_back({result, {}});
    changed.notify_all();
}

void pushWriteResult(Device* d, int result) {
    std::lock_guard<std::mutex> guard(lock);
    d->writeResults.push_back(result);
}

void setOpenFails(Device* d, bool fails) {
    std::lock_guard<std::mutex> guard(lock);
    d->openFails = fails;
}

void setClaimResult(Device* d, int result) {
    std::lock_guard<std::mutex> guard(lock);
    d->claimResult = result;
}

void setReleaseResult(Device* d, int result) {
    std::lock_guard<std::mutex> guard(lock);
    d->releaseResult = result;
}

void setPeer(Device* d, const Peer& peer) {
    std::lock_guard<std::mutex> guard(lock);
    d->peer = peer;
}

void setReadWaitCap(Device* d, int ms) {
    std::lock_guard<std::mutex> guard(lock);
    d->readWaitCapMs = ms;
}

void unplug(Device* d) {
    std::lock_guard<std::mutex> guard(lock);
    d->gone = true;
    changed.notify_all();
}

Stats stats(Device* d) {
    std::lock_guard<std::mutex> guard(lock);
    return d->stats;
}

bool waitForReads(Device* d, int count, int timeoutMs) {
    std::unique_lock<std::mutex> guard(lock);
    return changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                            [&] { return d->stats.reads >= count; });
}

}  // namespace fake_libusb

using fake_libusb::changed;
using fake_libusb::Device;
using fake_libusb::fail;
using fake_libusb::lock;
using fake_libusb::ReadItem;

struct usb_dev_handle {
    Device* device;
    bool claimed;
};

namespace {

// Controller->host transfer through the device's peer, run without the
// fake's lock so that the peer may block.
int readFromPeer(const fake_libusb::Peer& peer, char* bytes, int size, int timeout) {
    fake_libusb::Bytes transfer;
    if (!peer.read(transfer, timeout, static_cast<size_t>(size))) return fail(-ETIMEDOUT, "error reaping URB");
    const int n = static_cast<int>(std::min(transfer.size(), static_cast<size_t>(size)));
    if (n > 0) std::memcpy(bytes, transfer.data(), static_cast<size_t>(n));
    return n;
}

}  // namespace

extern "C" {

void usb_init(void) {}
void usb_set_debug(int) {}
int usb_find_busses(void) { return 0; }
int usb_find_devices(void) { return 0; }

struct usb_bus* usb_get_busses(void) {
    std::lock_guard<std::mutex> guard(lock);
    return fake_libusb::busses.empty() ? nullptr : &fake_libusb::busses.front()->record;
}

usb_dev_handle* usb_open(struct usb_device* dev) {
    std::lock_guard<std::mutex> guard(lock);
    Device* d = fake_libusb::owner(dev);
    if (!d || d->openFails || d->gone) {
        fail(-ENODEV, "failed to open device");
        return nullptr;
    }
    ++d->stats.opens;
    ++d->stats.openHandles;
    return new usb_dev_handle{d, false};
}

int usb_close(usb_dev_handle* h) {
    if (!h) return -EINVAL;
    {
        std::lock_guard<std::mutex> guard(lock);
        ++h->device->stats.closes;
        --h->device->stats.openHandles;
    }
    delete h;
    return 0;
}

int usb_claim_interface(usb_dev_handle* h, int) {
    std::lock_guard<std::mutex> guard(lock);
    ++h->device->stats.claims;
    if (h->device->claimResult != 0) return fail(h->device->claimResult, "could not claim interface 0");
    h->claimed = true;
    return 0;
}

int usb_release_interface(usb_dev_handle* h, int) {
    std::lock_guard<std::mutex> guard(lock);
    ++h->device->stats.releases;
    if (h->device->releaseResult != 0) return fail(h->device->releaseResult, "could not release interface 0");
    h->claimed = false;
    return 0;
}

int usb_bulk_read(usb_dev_handle* h, int, char* bytes, int size, int timeout) {
    std::unique_lock<std::mutex> guard(lock);
    Device* d = h->device;
    ++d->stats.reads;
    ++d->pendingReads;
    d->stats.maxParallelReads = std::max(d->stats.maxParallelReads, d->pendingReads);
    changed.notify_all();

    int result;
    if (d->gone) {
        ++d->stats.readsOnClosed;
        result = fail(-ENODEV, "error submitting URB");
    } else if (d->peer.read && d->reads.empty()) {
        const fake_libusb::Peer peer = d->peer;
        const int wait = d->readWaitCapMs > 0 ? std::min(timeout, d->readWaitCapMs) : timeout;
        guard.unlock();
        result = readFromPeer(peer, bytes, size, wait);
        guard.lock();
    } else {
        const int wait = d->readWaitCapMs > 0 ? std::min(timeout, d->readWaitCapMs) : timeout;
        const bool ready = changed.wait_for(guard, std::chrono::milliseconds(wait),
                                            [d] { return d->gone || !d->reads.empty(); });
        if (d->gone) {
            result = fail(-ENODEV, "error reaping URB");
        } else if (!ready) {
            result = fail(-ETIMEDOUT, "error reaping URB");
        } else {
            ReadItem item = std::move(d->reads.front());
            d->reads.pop_front();
            if (item.result < 0) {
                result = fail(item.result, "error reaping URB");
            } else {
                result = static_cast<int>(std::min(item.data.size(), static_cast<size_t>(size)));
                if (result > 0) std::memcpy(bytes, item.data.data(), static_cast<size_t>(result));
            }
        }
    }
    --d->pendingReads;
    return result;
}

int usb_bulk_write(usb_dev_handle* h, int, const char* bytes, int size, int) {
    std::unique_lock<std::mutex> guard(lock);
    Device* d = h->device;
    if (d->gone) return fail(-ENODEV, "error submitting URB");
    int result = size;
    if (!d->writeResults.empty()) {
        result = d->writeResults.front();
        d->writeResults.pop_front();
        if (result < 0) return fail(result, "error reaping URB");
    }
    d->stats.written.emplace_back(bytes, bytes + std::min(result, size));
    const fake_libusb::Peer peer = d->peer;
    guard.unlock();
    if (peer.write) peer.write(bytes, static_cast<size_t>(std::min(result, size)));
    return result;
}

char* usb_strerror(void) { return fake_libusb::errorText; }

}  // extern "C"
