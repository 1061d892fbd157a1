// The device list and the operations that address a device by number.
#include "registry.h"

#include "transport/tcp/discovery.h"
#include "uc_link.h"

UcDeviceList deviceList;
std::atomic<bool> abortRequested{false};

namespace {

transport::UsbRingConfig usbRing = {65536, 16};

int scanLibUsb(UcDeviceList& list) { return transport::scanLibUsbDevices(list, usbRing); }
int scanAddp(UcDeviceList& list) { return transport::discoverTcpDevices(list, true); }
int scanVelorix(UcDeviceList& list) { return transport::discoverTcpDevices(list, false); }

// The scans of a presence check, in device-number order: each carrier bit
// with the scans it enables.
struct CarrierScan {
    int carrier;
    int (*scan)(UcDeviceList& list);
};
const CarrierScan kCarrierScans[] = {
    {UC_CARRIER_USB, scanLibUsb},
    {UC_CARRIER_USB, transport::scanDriverDevices},
    {UC_CARRIER_ADDP, scanAddp},
    {UC_CARRIER_VELORIX, scanVelorix},
};

}  // namespace

std::shared_ptr<UcDevice> UC_deviceRef(int device) {
    // The number is taken as unsigned: negative numbers are out of range.
    if (static_cast<unsigned>(device) >= deviceList.size()) return nullptr;
    return deviceList[static_cast<unsigned>(device)];
}

void UC_setUsbBuffers(int size, int count) {
    usbRing.bufferSize = size > 1024 ? size : 1024;
    usbRing.bufferCount = count > 2 ? count : 2;
}

transport::UsbRingConfig UC_usbRingConfig() { return usbRing; }

int UC_presence(int* count, int flags) {
    abortRequested = false;
    // Objects that an open handle still shares survive until it lets go.
    deviceList.clear();
    // The lowest result of the scans run: RC_OK once any scan worked.
    int result = RC_NO_DEVICE;
    for (const CarrierScan& s : kCarrierScans) {
        if (!(flags & s.carrier)) continue;
        const int scanResult = s.scan(deviceList);
        if (scanResult < result) result = scanResult;
    }
    if (result == RC_OK && count) *count = static_cast<int>(deviceList.size());
    return result;
}

void UC_abort() { abortRequested = true; }

int UC_getTransferSize() { return UC_MAX_TELEGRAM; }

int UC_init(UcDevice& device) { return device.connect(); }
int UC_shutdown(UcDevice& device) { return device.disconnect(); }
bool UC_isConnected(const UcDevice& device) { return device.link().connected; }

int UC_send(UcDevice& device, int count, const void* bytes) {
    if (count < 0 || (count > 0 && !bytes)) return RC_INVALID_PARAM;
    return device.send(count, bytes);
}

int UC_cancelIo(UcDevice& device) {
    device.cancelReceive();
    return RC_OK;
}

// ---- by device number ---------------------------------------------------

namespace {

// Runs op on the device behind the number, or answers 9 for a bad number.
template <typename Op>
int onDevice(int device, Op op) {
    std::shared_ptr<UcDevice> ref = UC_deviceRef(device);
    return ref ? op(*ref) : RC_NO_DEVICE;
}

}  // namespace

int UC_init(int device) {
    return onDevice(device, [](UcDevice& d) { return UC_init(d); });
}
int UC_shutdown(int device) {
    return onDevice(device, [](UcDevice& d) { return UC_shutdown(d); });
}

bool UC_isConnected(int device) {
    std::shared_ptr<UcDevice> ref = UC_deviceRef(device);
    return ref && UC_isConnected(*ref);
}

const char* UC_getName(int device) {
    std::shared_ptr<UcDevice> ref = UC_deviceRef(device);
    return ref ? ref->name() : "INVALID";
}

int UC_getTransport(int device) {
    std::shared_ptr<UcDevice> ref = UC_deviceRef(device);
    if (!ref) return 0;
    const int32_t type = ref->transport();
    return (type == transport::kUsbDevice || type == transport::kTcpDevice) ? type : 0;
}

int UC_getType(int device, int* value) {
    return onDevice(device, [value](UcDevice& d) { return UC_getType(d, value); });
}
int UC_getId(int device, int* value) {
    return onDevice(device, [value](UcDevice& d) { return UC_getId(d, value); });
}
int UC_getValue(int device, int address, int* value, int fallback) {
    return onDevice(device, [=](UcDevice& d) { return UC_getValue(d, address, value, fallback); });
}
int UC_send(int device, int count, const void* bytes) {
    return onDevice(device, [=](UcDevice& d) { return UC_send(d, count, bytes); });
}
int UC_recv(int device, UcTelegram* buffer) {
    return onDevice(device, [buffer](UcDevice& d) { return UC_recv(d, buffer); });
}
int UC_cancelIo(int device) {
    return onDevice(device, [](UcDevice& d) { return UC_cancelIo(d); });
}
int UC_startSync(int device) {
    return onDevice(device, [](UcDevice& d) { return UC_startSync(d); });
}
int UC_request(int device, int address, int* value) {
    return onDevice(device, [=](UcDevice& d) { return UC_request(d, address, value); });
}
int UC_sendHeader(int device, int address, int opcode) {
    return onDevice(device, [=](UcDevice& d) { return UC_sendHeader(d, address, opcode); });
}
