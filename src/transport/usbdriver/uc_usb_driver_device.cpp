// Opening and closing a kernel-driver device: the interface, its instance
// lock, the I/O state with its two events.
#include "transport/usbdriver/uc_usb_driver_device.h"

#include <new>

#include "uc_telegram.h"
#include "wire/timing.h"

using namespace plat;
using transport::UsbDriverIo;

// What connect() has opened of the interface before the I/O state exists.
struct UcUsbDriverDevice::OpenedInterface {
    Handle device = kInvalidHandle;
    Handle instanceLock = kNullHandle;
};

UcUsbDriverDevice::UcUsbDriverDevice(uint8_t variantFlag, int32_t index)
    : UcDeviceBase(transport::kUsbDevice, variantFlag != 0), variant1_(variantFlag == 1), index_(index) {}

UcUsbDriverDevice::~UcUsbDriverDevice() {
    if (linkState_.connected) disconnect();
}

// Reads interface `index_` of the device list, takes its instance lock and
// opens its path. On failure nothing it opened stays open.
int UcUsbDriverDevice::openInterface(OpenedInterface* opened) {
    InterfaceInfo info;
    const int found = readInterface(interfaceGuid(variant1_), index_, &info);
    if (found != RC_OK) return found;

    // A refused lock opens nothing more: the holder's connection (perhaps
    // this object's own) stays as it is.
    const int locked = takeInstanceLock(info.instanceId, &opened->instanceLock);
    if (locked != RC_OK) return locked;

    opened->device = openDeviceOverlapped(info.path.c_str());
    if (opened->device == kInvalidHandle) {
        closeIfValid(opened->instanceLock);
        return RC_SYSTEM_ERROR;
    }
    return RC_OK;
}

// Makes a fresh I/O state around the opened interface, with its two
// events. On failure everything is closed again.
int UcUsbDriverDevice::startIo(const OpenedInterface& opened) {
    Handle device = opened.device;
    Handle lock = opened.instanceLock;
    Handle readEvent = kNullHandle;
    Handle writeEvent = kNullHandle;
    std::unique_ptr<UsbDriverIo> io;
    // A lock granted to an object that is already open can only come from
    // a lock file removed behind its back; the open connection stays.
    if (!linkState_.connected) {
        io.reset(new (std::nothrow) UsbDriverIo());
        readEvent = createEvent(false, false);
        writeEvent = createEvent(false, false);
    }
    if (!io || readEvent == kNullHandle || writeEvent == kNullHandle) {
        const int result = linkState_.connected ? RC_DEVICE_LOCKED : RC_SYSTEM_ERROR;
        closeIfValid(readEvent);
        closeIfValid(writeEvent);
        closeIfValid(device);
        closeIfValid(lock);
        if (!linkState_.connected) io_.reset();
        return result;
    }
    io_ = std::move(io);
    io_->device = device;
    io_->instanceLock = lock;
    io_->readEvent = readEvent;
    io_->writeEvent = writeEvent;
    io_->readOverlapped.event = readEvent;
    io_->writeOverlapped.event = writeEvent;
    linkState_.connected = true;
    return RC_OK;
}

transport::Origin UcUsbDriverDevice::origin() {
    transport::Origin origin{transport::CarrierKind::Driver, transport::Route::Usb, ""};
    InterfaceInfo info;
    if (readInterface(interfaceGuid(variant1_), index_, &info) == RC_OK) origin.address = info.instanceId;
    return origin;
}

int UcUsbDriverDevice::connect() {
    OpenedInterface opened;
    const int result = openInterface(&opened);
    if (result != RC_OK) return result;
    return startIo(opened);
}

int UcUsbDriverDevice::disconnect() {
    if (!linkState_.connected || !io_) return RC_OK;
    UsbDriverIo& io = *io_;
    abortAndReset(io.device);
    if (io.readPending) awaitSettled(io.device, &io.readOverlapped, io.readEvent, uc::kSettleLimitMs);
    if (io.writePending) awaitSettled(io.device, &io.writeOverlapped, io.writeEvent, uc::kSettleLimitMs);
    closeIfValid(io.device);
    closeIfValid(io.readEvent);
    closeIfValid(io.writeEvent);
    closeIfValid(io.instanceLock);
    io.readPending = false;
    io.writePending = false;
    io.readPos = io.fill = 0;
    linkState_.connected = false;
    return RC_OK;
}

void UcUsbDriverDevice::cancelReceive() {
    if (io_) setEvent(io_->readEvent);
}
