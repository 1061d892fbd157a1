// Device files and I/O control requests of the simulated driver.
#include <algorithm>
#include <cstring>

#include "sim_driver_state.h"
#include "platform/usb_driver_protocol.h"

namespace plat {

using simdrv::DeviceFile;
using simdrv::PendingRequest;
using simdrv::SimDevice;

namespace {

bool fail(DWord error) {
    setLastError(error);
    return false;
}

std::shared_ptr<DeviceFile> lookupFile(Handle device) {
    return lookupAs<DeviceFile>(device, KernelObject::Kind::DeviceFile);
}

// Bulk read: queued until a transfer arrives (queued by a test, or polled
// from the peer by the file's worker).
bool issueRead(DeviceFile& file, PendingRequest request) {
    SimDevice& device = *file.device;
    ++device.readRequestCount;
    if (device.failReadWaitArmed && request.event) {
        device.failReadWaitArmed = false;
        simdrv::armFailingWait(request.overlapped->event);
    }
    file.reads.push_back(std::move(request));
    simdrv::deliverQueuedTransfers(device);
    file.readWanted.notify_all();
    return fail(kErrorIoPending);
}

// Bulk write: delivered and completed at once unless writes are stalled.
// Delivery to the peer runs outside the driver's lock.
bool issueWrite(DeviceFile& file, PendingRequest request, std::unique_lock<std::mutex>& guard) {
    SimDevice& device = *file.device;
    ++device.writeRequestCount;
    if (device.writesStalled) {
        file.writes.push_back(std::move(request));
        return fail(kErrorIoPending);
    }
    if (device.peer.write) {
        auto write = device.peer.write;
        guard.unlock();
        write(request.writeData.data(), request.writeData.size());
        guard.lock();
    } else {
        device.writtenBytes.insert(device.writtenBytes.end(), request.writeData.begin(),
                                   request.writeData.end());
    }
    simdrv::complete(request, kErrorSuccess, static_cast<DWord>(request.writeData.size()));
    return fail(kErrorIoPending);
}

bool bulkTransfer(DeviceFile& file, const void* in, DWord inSize, void* out, DWord outSize,
                  Overlapped* overlapped, std::shared_ptr<EventObject> event,
                  std::unique_lock<std::mutex>& guard) {
    if (!in || inSize < kSingleTransferSize || !overlapped || (outSize && !out))
        return fail(kErrorInvalidParameter);
    PendingRequest request;
    request.overlapped = overlapped;
    request.event = std::move(event);
    overlapped->internal = simdrv::kStatusPending;
    overlapped->internalHigh = 0;
    switch (singleTransferEndpoint(in)) {
        case kEndpointIn:
            request.readBuffer = static_cast<uint8_t*>(out);
            request.readCapacity = outSize;
            return issueRead(file, std::move(request));
        case kEndpointOut: {
            const uint8_t* bytes = static_cast<const uint8_t*>(out);
            request.writeData.assign(bytes, bytes + outSize);
            return issueWrite(file, std::move(request), guard);
        }
        default: overlapped->internal = kErrorInvalidParameter; return fail(kErrorInvalidParameter);
    }
}

}  // namespace

Handle openDeviceOverlapped(const char* path) {
    if (!path) {
        setLastError(kErrorInvalidParameter);
        return kInvalidHandle;
    }
    if (simdrv::consumeFault(simdrv::Fault::OpenDevice)) {
        setLastError(kErrorGenFailure);
        return kInvalidHandle;
    }
    std::shared_ptr<DeviceFile> file;
    {
        std::lock_guard<std::mutex> guard(simdrv::driver().lock);
        for (const auto& device : simdrv::driver().present)
            if (device->path == path) file = std::make_shared<DeviceFile>(device);
    }
    if (!file) {
        setLastError(kErrorFileNotFound);
        return kInvalidHandle;
    }
    return handleInsert(file);
}

bool deviceIoControl(Handle device, DWord code, const void* in, DWord inSize, void* out, DWord outSize,
                     DWord* bytesReturned, Overlapped* overlapped) {
    std::shared_ptr<DeviceFile> file = lookupFile(device);
    if (!file) return false;
    std::shared_ptr<EventObject> event;
    if (overlapped && overlapped->event) {
        event = lookupAs<EventObject>(overlapped->event, KernelObject::Kind::Event);
        if (!event) return false;
    }
    if (bytesReturned) *bytesReturned = 0;
    std::unique_lock<std::mutex> guard(simdrv::driver().lock);
    if (!file->device->present) return fail(kErrorBadCommand);
    switch (code) {
        case kIoctlBulkTransfer:
            return bulkTransfer(*file, in, inSize, out, outSize, overlapped, std::move(event), guard);
        case kIoctlAbortPipe:
            if (!in || inSize < 1) return fail(kErrorInvalidParameter);
            if (*static_cast<const uint8_t*>(in) == kEndpointIn)
                simdrv::completeAll(file->reads, kErrorOperationAborted);
            else if (*static_cast<const uint8_t*>(in) == kEndpointOut)
                simdrv::completeAll(file->writes, kErrorOperationAborted);
            else
                return fail(kErrorInvalidParameter);
            return true;
        case kIoctlResetPipe:
            simdrv::completeAll(file->reads, kErrorOperationAborted);
            simdrv::completeAll(file->writes, kErrorOperationAborted);
            return true;
        default: return fail(kErrorInvalidParameter);
    }
}

bool getOverlappedResult(Handle device, Overlapped* overlapped, DWord* bytesTransferred, bool wait) {
    if (!lookupFile(device)) return false;
    if (!overlapped) return fail(kErrorInvalidParameter);
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(simdrv::driver().lock);
            if (overlapped->internal != simdrv::kStatusPending) {
                if (bytesTransferred) *bytesTransferred = static_cast<DWord>(overlapped->internalHigh);
                const DWord status = static_cast<DWord>(overlapped->internal);
                return status == kErrorSuccess ? true : fail(status);
            }
        }
        if (!wait) return fail(kErrorIoIncomplete);
        if (waitForSingleObject(overlapped->event, kInfinite) == kWaitFailed) return false;
    }
}

}  // namespace plat
