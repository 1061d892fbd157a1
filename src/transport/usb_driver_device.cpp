#include "transport/usb_driver_device.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "link/telegram.h"
#include "trace.h"
#include "uc_telegram.h"

using namespace plat;

namespace {

constexpr uint8_t kReadFill = 0xCC;
constexpr int32_t kSmallestTelegram = UC_HEADER_SIZE;  // 20
constexpr int32_t kSmallestAck = 28;
constexpr DWord kMaxDetailSize = 4096;
// How long disconnect waits for an aborted request to be given back.
constexpr int kSettleTries = 10;
constexpr DWord kSettleSliceMs = 100;

const Guid& guidOfVariant(uint8_t variant) { return variant == 1 ? kGuidVariant1 : kGuidVariant0; }

bool inFlight(Handle device, Overlapped* overlapped) {
    DWord bytes = 0;
    return !getOverlappedResult(device, overlapped, &bytes, false) &&
           getLastError() == kErrorIoIncomplete;
}

void closeIfValid(Handle& handle) {
    if (isValidHandle(handle)) closeHandle(handle);
    handle = kNullHandle;
}

// Waits (bounded) until an aborted request has been given back, so that
// the driver no longer touches its record and buffer.
void settle(Handle device, Overlapped* overlapped, Handle event) {
    for (int i = 0; i < kSettleTries && inFlight(device, overlapped); ++i)
        waitForSingleObject(event, kSettleSliceMs);
}

void abortAndReset(Handle device, uint8_t endpoint) {
    DWord returned = 0;
    deviceIoControl(device, kIoctlAbortPipe, &endpoint, 1, nullptr, 0, &returned, nullptr);
    deviceIoControl(device, kIoctlResetPipe, nullptr, 0, nullptr, 0, &returned, nullptr);
}

void prepareOverlapped(Overlapped& overlapped, Handle event) {
    overlapped = Overlapped();
    overlapped.event = event;
}

}  // namespace

// What connect() has opened of the interface before the I/O state exists.
struct UcUsbDriverDevice::OpenedInterface {
    Handle device = kInvalidHandle;
    Handle instanceLock = kNullHandle;
};

UcUsbDriverDevice::UcUsbDriverDevice(uint8_t variantFlag, int32_t index)
    : UcDevice(UC_DEVICE_USB, variantFlag), index_(index) {}

UcUsbDriverDevice::~UcUsbDriverDevice() {
    if (connected) disconnect();
    delete io_;
}

int countInterfaces(const Guid& guid, int* count) {
    *count = 0;
    DevInfoSet set = getClassDevs(guid);
    if (set == kInvalidDevInfoSet) return RC_DRIVER_ERROR;
    DeviceInterfaceData data;
    DWord i = 0;
    while (enumDeviceInterfaces(set, guid, i, &data)) ++i;
    const DWord lastError = getLastError();
    destroyDeviceInfoList(set);
    if (i == 0) return (lastError == kErrorSuccess || lastError == kErrorNoMoreItems) ? RC_OK : RC_ERROR;
    *count = static_cast<int>(i);
    return RC_OK;
}

int scanDriverDevices(UcDeviceList& list) {
    struct Group {
        const Guid* guid;
        uint8_t variant;
    };
    static const Group kGroups[] = {{&kGuidVariant1, 1}, {&kGuidVariant0, 0}};
    int results[2];
    for (int g = 0; g < 2; ++g) {
        int n = 0;
        results[g] = countInterfaces(*kGroups[g].guid, &n);
        if (results[g] != RC_OK) continue;
        for (int i = 0; i < n; ++i)
            list.push_back(std::unique_ptr<UcDevice>(new UcUsbDriverDevice(kGroups[g].variant, i)));
    }
    return (results[0] != RC_OK && results[1] != RC_OK) ? results[1] : RC_OK;
}

int takeInstanceLock(const char* instanceId, Handle* lock) {
    std::string name(instanceId);
    std::replace(name.begin(), name.end(), '\\', '_');
    Handle h = createInstanceLock(name.c_str());
    if (h != kNullHandle && getLastError() != kErrorAlreadyExists) {
        *lock = h;
        return RC_OK;
    }
    if (h != kNullHandle) closeHandle(h);
    return RC_DEVICE_LOCKED;
}

namespace {

// Finds interface `index` of the GUID in the set: its device path and its
// device record. 0, 2 when the set has no such interface, 8 otherwise.
int findInterface(DevInfoSet set, const Guid& guid, int32_t index, std::vector<char>* path, DevInfoData* info) {
    DeviceInterfaceData data;
    if (!enumDeviceInterfaces(set, guid, static_cast<DWord>(index), &data))
        return getLastError() == kErrorNoMoreItems ? RC_NOT_CONNECTED : RC_SYSTEM_ERROR;

    DWord detailSize = 0;
    if (getDeviceInterfaceDetail(set, &data, nullptr, 0, &detailSize, nullptr) ||
        getLastError() != kErrorInsufficientBuffer || detailSize == 0 || detailSize > kMaxDetailSize)
        return RC_SYSTEM_ERROR;
    path->assign(detailSize, '\0');
    return getDeviceInterfaceDetail(set, &data, path->data(), detailSize, nullptr, info) ? RC_OK : RC_SYSTEM_ERROR;
}

}  // namespace

// Finds interface `index_` in the set, reads its path and instance id,
// takes the instance lock and opens the path. On failure nothing it opened
// stays open.
int UcUsbDriverDevice::openInterface(DevInfoSet set, const Guid& guid, OpenedInterface* opened) {
    std::vector<char> path;
    DevInfoData info;
    const int found = findInterface(set, guid, index_, &path, &info);
    if (found != RC_OK) return found;

    char instanceId[kInstanceIdSize];
    if (!getDeviceInstanceId(set, &info, instanceId, sizeof instanceId, nullptr)) return RC_ERROR;

    // A refused lock opens nothing more: the holder's connection (perhaps
    // this object's own) stays as it is.
    int result = takeInstanceLock(instanceId, &opened->instanceLock);
    if (result != RC_OK) return result;

    opened->device = openDeviceOverlapped(path.data());
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
    UsbDriverIo* io = nullptr;
    // A lock granted to an object that is already open can only come from
    // a lock file removed behind its back; the open connection stays.
    if (!connected) {
        io = new (std::nothrow) UsbDriverIo();
        readEvent = createEvent(false, false);
        writeEvent = createEvent(false, false);
    }
    if (!io || readEvent == kNullHandle || writeEvent == kNullHandle) {
        const int result = connected ? RC_DEVICE_LOCKED : RC_SYSTEM_ERROR;
        delete io;
        closeIfValid(readEvent);
        closeIfValid(writeEvent);
        closeIfValid(device);
        closeIfValid(lock);
        if (!connected) {
            delete io_;
            io_ = nullptr;
        }
        return result;
    }
    delete io_;
    io_ = io;
    io_->device = device;
    io_->instanceLock = lock;
    io_->readEvent = readEvent;
    io_->writeEvent = writeEvent;
    io_->readOverlapped.event = readEvent;
    io_->writeOverlapped.event = writeEvent;
    connected = true;
    return RC_OK;
}

UcOrigin UcUsbDriverDevice::origin() {
    UcOrigin origin{UC_KIND_DRIVER, UC_ROUTE_USB, ""};
    const Guid& guid = guidOfVariant(variant);
    DevInfoSet set = getClassDevs(guid);
    if (set == kInvalidDevInfoSet) return origin;
    std::vector<char> path;
    DevInfoData info;
    char instanceId[kInstanceIdSize];
    if (findInterface(set, guid, index_, &path, &info) == RC_OK &&
        getDeviceInstanceId(set, &info, instanceId, sizeof instanceId, nullptr))
        origin.address = instanceId;
    destroyDeviceInfoList(set);
    return origin;
}

int UcUsbDriverDevice::connect() {
    const Guid& guid = guidOfVariant(variant);
    DevInfoSet set = getClassDevs(guid);
    if (set == kInvalidDevInfoSet) return RC_DRIVER_ERROR;
    OpenedInterface opened;
    const int result = openInterface(set, guid, &opened);
    destroyDeviceInfoList(set);
    if (result != RC_OK) return result;
    return startIo(opened);
}

int UcUsbDriverDevice::disconnect() {
    if (!connected || !io_) return RC_OK;
    UsbDriverIo& io = *io_;
    abortAndReset(io.device, kEndpointIn);
    abortAndReset(io.device, kEndpointOut);
    if (io.readPending) settle(io.device, &io.readOverlapped, io.readEvent);
    if (io.writePending) settle(io.device, &io.writeOverlapped, io.writeEvent);
    closeIfValid(io.device);
    closeIfValid(io.readEvent);
    closeIfValid(io.writeEvent);
    closeIfValid(io.instanceLock);
    io.readPending = false;
    io.writePending = false;
    io.readPos = io.fill = 0;
    connected = false;
    return RC_OK;
}

void UcUsbDriverDevice::cancelReceive() {
    if (io_) setEvent(io_->readEvent);
}

int UcUsbDriverDevice::issueRead() {
    UsbDriverIo& io = *io_;
    prepareSingleTransfer(io.readTransfer, kEndpointIn);
    prepareOverlapped(io.readOverlapped, io.readEvent);
    std::memset(io.buffer, kReadFill, sizeof io.buffer);
    io.readPending = true;
    if (deviceIoControl(io.device, kIoctlBulkTransfer, &io.readTransfer, kSingleTransferSize,
                        io.buffer, sizeof io.buffer, nullptr, &io.readOverlapped))
        return RC_OK;
    const DWord error = getLastError();
    if (error == kErrorSuccess || error == kErrorIoPending) return RC_OK;
    io.readPending = false;
    if (error == kErrorBadCommand) {  // the device is gone
        disconnect();
        return RC_NOT_CONNECTED;
    }
    return RC_SYSTEM_ERROR;
}

// Waits for the read in flight. 0: a transfer of `fill` > 0 bytes is in
// the buffer; otherwise the result of receive().
int UcUsbDriverDevice::awaitRead() {
    UsbDriverIo& io = *io_;
    const DWord waited = waitForSingleObject(io.readEvent, kReceiveWaitMs);
    if (waited == kWaitTimeout) return RC_TIMEOUT;
    if (waited != kWaitObject0) {
        // A read still held by the driver stays pending: its record and
        // buffer must not be reused.
        io.readPending = inFlight(io.device, &io.readOverlapped);
        return RC_SYSTEM_ERROR;
    }
    DWord count = 0;
    if (!getOverlappedResult(io.device, &io.readOverlapped, &count, false) &&
        getLastError() == kErrorIoIncomplete)
        return RC_TIMEOUT;  // woken by cancelReceive; the read stays in flight
    io.readPending = false;
    io.fill = std::min<DWord>(count, UsbDriverIo::kBufferSize);
    io.readPos = 0;
    if (io.fill == 0) {
        traceError(false, "Empty packet received");
        return RC_TIMEOUT;
    }
    return RC_OK;
}

int UcUsbDriverDevice::receive(void* buffer, int* length) {
    if (!connected || !io_) return RC_NOT_CONNECTED;
    if (!buffer || !length) return RC_INVALID_PARAM;
    UsbDriverIo& io = *io_;
    const int32_t requested = *length;
    if (io.readPos < io.fill) return takeTelegram(requested, false, buffer, length);
    if (!io.readPending) {
        const int issued = issueRead();
        if (issued != RC_OK) return issued;
    }
    const int awaited = awaitRead();
    if (awaited != RC_OK) return awaited;
    return takeTelegram(requested, true, buffer, length);
}

// 32-bit word of the buffer at pos; bytes past its end count as the fill.
int32_t UcUsbDriverDevice::wordAt(uint32_t pos) const {
    uint8_t word[4];
    for (uint32_t i = 0; i < 4; ++i)
        word[i] = pos + i < UsbDriverIo::kBufferSize ? io_->buffer[pos + i] : kReadFill;
    return uc::get32(word);
}

int UcUsbDriverDevice::takeTelegram(int32_t requested, bool freshTransfer, void* out, int* length) {
    UsbDriverIo& io = *io_;
    const uint32_t pos = io.readPos;
    int64_t n = requested != 0 ? requested : static_cast<int64_t>(wordAt(pos)) + 4;
    if (n > UC_MAX_TELEGRAM || n < 0 || (requested == 0 && n < kSmallestTelegram)) {
        io.readPos = io.fill;
        traceError(freshTransfer, "Protocol error: incomplete packet received");
        return RC_OUT_OF_SYNC;
    }
    if (requested == 0 && wordAt(pos + 4) == UC_OP_ACK && n < kSmallestAck) n = kSmallestAck;
    n = std::min<int64_t>(n, io.fill - io.readPos);
    std::memcpy(out, io.buffer + pos, static_cast<size_t>(n));
    io.readPos += static_cast<uint32_t>(n);
    *length = static_cast<int>(n);
    return RC_OK;
}

// Waits for the write in flight: 0 done, -1 it failed, 1 still in flight
// after the wait, 8 the wait failed. writePending is cleared once the
// driver has given the write back.
int UcUsbDriverDevice::awaitWrite() {
    UsbDriverIo& io = *io_;
    const DWord waited = waitForSingleObject(io.writeEvent, kSendWaitMs);
    if (waited == kWaitTimeout) return RC_TIMEOUT;
    DWord count = 0;
    const bool ok = getOverlappedResult(io.device, &io.writeOverlapped, &count, false);
    if (!ok && getLastError() == kErrorIoIncomplete)
        return waited == kWaitObject0 ? RC_TIMEOUT : RC_SYSTEM_ERROR;
    io.writePending = false;
    if (waited != kWaitObject0) return RC_SYSTEM_ERROR;
    return ok ? RC_OK : RC_ERROR;
}

int UcUsbDriverDevice::send(int length, const void* data) {
    if (!connected || !io_) return RC_NOT_CONNECTED;
    if (length < 0 || (length > 0 && !data)) return RC_INVALID_PARAM;
    UsbDriverIo& io = *io_;
    // An earlier write whose wait ran out still owns the write record: wait
    // for it once more, and refuse this send if it is still in flight.
    if (io.writePending) {
        const int earlier = awaitWrite();
        if (io.writePending) return earlier;
    }
    prepareSingleTransfer(io.writeTransfer, kEndpointOut);
    prepareOverlapped(io.writeOverlapped, io.writeEvent);
    if (!deviceIoControl(io.device, kIoctlBulkTransfer, &io.writeTransfer, kSingleTransferSize,
                         const_cast<void*>(data), static_cast<DWord>(length), nullptr,
                         &io.writeOverlapped)) {
        const DWord error = getLastError();
        if (error == kErrorBadCommand) {
            disconnect();
            return RC_NOT_CONNECTED;
        }
        if (error != kErrorSuccess && error != kErrorIoPending) {
            disconnect();
            return RC_ERROR;
        }
    }
    io.writePending = true;
    return awaitWrite();
}
