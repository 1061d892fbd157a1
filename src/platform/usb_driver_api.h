// Operating-system calls used by the kernel-driver USB transports of both
// libraries, in the shapes of the Windows calls behind them: device
// interface enumeration (SetupAPI), overlapped device I/O control,
// auto-reset events, handle close and the named per-instance lock.
//
// The Windows build maps each function one to one onto SetupDiGetClassDevsA,
// SetupDiEnumDeviceInterfaces, SetupDiGetDeviceInterfaceDetailA,
// SetupDiGetDeviceInstanceIdA, SetupDiDestroyDeviceInfoList, CreateFileA,
// DeviceIoControl, GetOverlappedResult, CreateEventA, SetEvent, ResetEvent,
// WaitForSingleObject, CloseHandle, CreateMutexA, GetLastError and
// SetLastError. The Linux libraries have no such driver: their backend
// (linux/no_driver.cpp) finds no device; the tests link a simulated driver
// in its place (tests/support/fakes/usb_driver). The instance lock is flock on a
// lock file.
//
// Every function that fails sets the calling thread's last error.
#ifndef PLATFORM_USB_DRIVER_API_H
#define PLATFORM_USB_DRIVER_API_H

#include <cstdint>

namespace plat {

using DWord = uint32_t;

// Kernel object handle. Creation functions return kNullHandle (events,
// locks) or kInvalidHandle (device files) on failure, as Windows does.
using Handle = intptr_t;
constexpr Handle kNullHandle = 0;
constexpr Handle kInvalidHandle = -1;
inline bool isValidHandle(Handle h) { return h != kNullHandle && h != kInvalidHandle; }

// Last-error values.
constexpr DWord kErrorSuccess = 0;
constexpr DWord kErrorFileNotFound = 2;
constexpr DWord kErrorInvalidHandle = 6;
constexpr DWord kErrorNotEnoughMemory = 8;
constexpr DWord kErrorBadCommand = 22;
constexpr DWord kErrorGenFailure = 31;
constexpr DWord kErrorInvalidParameter = 87;
constexpr DWord kErrorInsufficientBuffer = 122;
constexpr DWord kErrorAlreadyExists = 183;
constexpr DWord kErrorNoMoreItems = 259;
constexpr DWord kErrorOperationAborted = 995;
constexpr DWord kErrorIoIncomplete = 996;
constexpr DWord kErrorIoPending = 997;
constexpr DWord kErrorDeviceNotConnected = 1167;

DWord getLastError();
void setLastError(DWord error);

// ---- Device interface enumeration ---------------------------------------

struct Guid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};
bool operator==(const Guid& a, const Guid& b);
inline bool operator!=(const Guid& a, const Guid& b) { return !(a == b); }

// A device information set: the present device interfaces of one GUID.
using DevInfoSet = intptr_t;
constexpr DevInfoSet kInvalidDevInfoSet = -1;

struct DeviceInterfaceData {
    Guid interfaceGuid;
    DWord flags;
    uintptr_t reserved;
};

struct DevInfoData {
    Guid classGuid;
    DWord devInst;
    uintptr_t reserved;
};

// Set of the present interfaces of interfaceGuid (DIGCF_PRESENT |
// DIGCF_DEVICEINTERFACE, no enumerator, no window).
DevInfoSet getClassDevs(const Guid& interfaceGuid);
// Member `member` of the set; false with kErrorNoMoreItems past the end.
bool enumDeviceInterfaces(DevInfoSet set, const Guid& interfaceGuid, DWord member, DeviceInterfaceData* data);
// Device path of an interface (NUL-terminated) and the information record
// of its device. With path null or too small: false with
// kErrorInsufficientBuffer and *requiredSize set (including the NUL).
bool getDeviceInterfaceDetail(DevInfoSet set, const DeviceInterfaceData* data, char* path, DWord pathCapacity,
                              DWord* requiredSize, DevInfoData* info);
// Instance id of a device, e.g. "USB\VID_16C0&PID_055B\5&1234"; false with
// kErrorInsufficientBuffer when it does not fit (including the NUL).
bool getDeviceInstanceId(DevInfoSet set, const DevInfoData* info, char* id, DWord capacity,
                         DWord* requiredSize);
bool destroyDeviceInfoList(DevInfoSet set);

// ---- Device I/O ---------------------------------------------------------

// Overlapped record of one request. The caller owns it; while a request is
// in flight the system writes `internal` (status) and `internalHigh`
// (bytes), and the caller must not touch the record or the request's
// buffers until getOverlappedResult reports completion.
struct Overlapped {
    uintptr_t internal;
    uintptr_t internalHigh;
    DWord offset;
    DWord offsetHigh;
    Handle event;
};

// Opens a device path for reading and writing, shared for reading and
// writing, existing only, for overlapped I/O. kInvalidHandle on failure.
Handle openDeviceOverlapped(const char* path);

// Issues an I/O control request. With an overlapped record the request
// normally returns false with kErrorIoPending and completes later, setting
// overlapped->event; without one it completes before returning.
bool deviceIoControl(Handle device, DWord code, const void* in, DWord inSize, void* out, DWord outSize,
                     DWord* bytesReturned, Overlapped* overlapped);

// Result of an overlapped request: true with the byte count when it
// completed successfully; false with its error (and the byte count) when
// it failed; false with kErrorIoIncomplete while it is in flight and wait
// is false (with wait true it blocks on the record's event).
bool getOverlappedResult(Handle device, Overlapped* overlapped, DWord* bytesTransferred, bool wait);

// ---- Events and handles -------------------------------------------------

constexpr DWord kWaitObject0 = 0;
constexpr DWord kWaitTimeout = 258;
constexpr DWord kWaitFailed = 0xFFFFFFFFu;
constexpr DWord kInfinite = 0xFFFFFFFFu;

// Unnamed event; kNullHandle on failure.
Handle createEvent(bool manualReset, bool initiallySignalled);
bool setEvent(Handle event);
bool resetEvent(Handle event);
// kWaitObject0 when signalled (an auto-reset event is then reset),
// kWaitTimeout, or kWaitFailed with the last error set.
DWord waitForSingleObject(Handle object, DWord milliseconds);

bool closeHandle(Handle handle);

// ---- Instance lock ------------------------------------------------------

// Named lock spanning processes, created as owned by the caller (Windows:
// a named mutex created with initial ownership and an inheritable handle).
// Returns a handle; when another holder (in this process or another)
// already has the name, the last error is kErrorAlreadyExists and the
// caller must close the handle it got. kNullHandle when it cannot be made.
// The lock is released when its holder closes the handle or ends.
Handle createInstanceLock(const char* name);

}  // namespace plat

#endif
