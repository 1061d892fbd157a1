// Overlapped device I/O on a driver's device interface.
#include <cstddef>

#include "platform/windows/win_handles.h"
#include "platform/usb_driver_api.h"

namespace plat {

namespace {

// The caller's record is handed to the system as it is: it must stay at
// its address while the request is in flight.
static_assert(sizeof(Overlapped) == sizeof(OVERLAPPED), "plat::Overlapped has the layout of OVERLAPPED");
static_assert(offsetof(Overlapped, internal) == offsetof(OVERLAPPED, Internal), "Internal");
static_assert(offsetof(Overlapped, internalHigh) == offsetof(OVERLAPPED, InternalHigh), "InternalHigh");
static_assert(offsetof(Overlapped, offset) == offsetof(OVERLAPPED, Offset), "Offset");
static_assert(offsetof(Overlapped, offsetHigh) == offsetof(OVERLAPPED, OffsetHigh), "OffsetHigh");
static_assert(offsetof(Overlapped, event) == offsetof(OVERLAPPED, hEvent), "hEvent");

OVERLAPPED* toWin(Overlapped* overlapped) { return reinterpret_cast<OVERLAPPED*>(overlapped); }

}  // namespace

Handle openDeviceOverlapped(const char* path) {
    HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    return h == INVALID_HANDLE_VALUE ? kInvalidHandle : fromWin(h);
}

bool deviceIoControl(Handle device, DWord code, const void* in, DWord inSize, void* out, DWord outSize,
                     DWord* bytesReturned, Overlapped* overlapped) {
    DWORD returned = 0;
    const bool ok = DeviceIoControl(toWin(device), code, const_cast<void*>(in), inSize, out, outSize, &returned,
                                    toWin(overlapped));
    if (bytesReturned) *bytesReturned = returned;
    return ok;
}

bool getOverlappedResult(Handle device, Overlapped* overlapped, DWord* bytesTransferred, bool wait) {
    DWORD bytes = 0;
    const bool ok = GetOverlappedResult(toWin(device), toWin(overlapped), &bytes, wait);
    if (bytesTransferred) *bytesTransferred = bytes;
    return ok;
}

}  // namespace plat
