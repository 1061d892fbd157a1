// Test controls of the simulated driver: plugging, unplugging, transfers,
// stalls and counters.
#include <algorithm>
#include <cctype>

#include "sim_driver_state.h"

namespace plat {
namespace simdrv {

namespace {

std::string guidText(const Guid& g) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}",
                  static_cast<unsigned>(g.data1), g.data2, g.data3, g.data4[0], g.data4[1], g.data4[2],
                  g.data4[3], g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
    return text;
}

// "\\?\usb#vid_16c0&pid_055b#5&1234#{guid}" for "USB\VID_16C0&PID_055B\5&1234".
std::string devicePath(const std::string& instanceId, const Guid& g) {
    std::string path = "\\\\?\\";
    for (char c : instanceId)
        path += (c == '\\') ? '#' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return path + "#" + guidText(g);
}

// Runs fn on a known device with the driver's lock held.
template <typename Fn>
auto withDevice(DeviceId id, Fn fn) -> decltype(fn(std::declval<SimDevice&>())) {
    std::lock_guard<std::mutex> guard(driver().lock);
    auto it = driver().known.find(id);
    if (it == driver().known.end()) return decltype(fn(std::declval<SimDevice&>()))();
    return fn(*it->second);
}

void unplugLocked(SimDevice& device) {
    device.present = false;
    auto& present = driver().present;
    present.erase(std::remove_if(present.begin(), present.end(),
                                 [&](const std::shared_ptr<SimDevice>& d) { return d.get() == &device; }),
                  present.end());
    for (DeviceFile* file : device.files) {
        completeAll(file->reads, kErrorDeviceNotConnected);
        completeAll(file->writes, kErrorDeviceNotConnected);
    }
}

}  // namespace

DeviceId addDevice(const Guid& interfaceGuid, const std::string& instanceId, SimUsbPeer peer) {
    auto device = std::make_shared<SimDevice>();
    device->interfaceGuid = interfaceGuid;
    device->instanceId = instanceId;
    device->path = devicePath(instanceId, interfaceGuid);
    device->peer = std::move(peer);
    std::lock_guard<std::mutex> guard(driver().lock);
    device->id = driver().nextId++;
    driver().present.push_back(device);
    driver().known[device->id] = device;
    return device->id;
}

void removeDevice(DeviceId id) {
    withDevice(id, [](SimDevice& d) { unplugLocked(d); });
}

void removeAllDevices() {
    std::lock_guard<std::mutex> guard(driver().lock);
    for (auto& entry : driver().known) unplugLocked(*entry.second);
    driver().known.clear();
}

void queueTransfer(DeviceId id, const void* bytes, size_t n) {
    const uint8_t* b = static_cast<const uint8_t*>(bytes);
    std::vector<uint8_t> transfer(b, b + std::min(n, kMaxTransfer));
    withDevice(id, [&](SimDevice& d) {
        d.queuedTransfers.push_back(std::move(transfer));
        deliverQueuedTransfers(d);
    });
}

void stallWrites(DeviceId id, bool on) {
    std::vector<PendingRequest> released;
    std::function<void(const uint8_t*, size_t)> write;
    withDevice(id, [&](SimDevice& d) {
        d.writesStalled = on;
        if (on) return;
        write = d.peer.write;
        for (DeviceFile* file : d.files) {
            for (PendingRequest& r : file->writes) {
                if (!write) d.writtenBytes.insert(d.writtenBytes.end(), r.writeData.begin(), r.writeData.end());
                complete(r, kErrorSuccess, static_cast<DWord>(r.writeData.size()));
                released.push_back(std::move(r));
            }
            file->writes.clear();
        }
    });
    if (write)
        for (const PendingRequest& r : released) write(r.writeData.data(), r.writeData.size());
}

void failNextReadWait(DeviceId id) {
    withDevice(id, [](SimDevice& d) { d.failReadWaitArmed = true; });
}

int readRequests(DeviceId id) {
    return withDevice(id, [](SimDevice& d) { return d.readRequestCount; });
}

int writeRequests(DeviceId id) {
    return withDevice(id, [](SimDevice& d) { return d.writeRequestCount; });
}

std::vector<uint8_t> written(DeviceId id) {
    return withDevice(id, [](SimDevice& d) { return d.writtenBytes; });
}

int openHandleCount() { return handleCount(); }

}  // namespace simdrv
}  // namespace plat
