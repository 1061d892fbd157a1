// Last error, events, handles and the named-mutex instance lock.
#include "platform/windows/win_handles.h"
#include "platform/usb_driver_api.h"

namespace plat {

DWord getLastError() { return GetLastError(); }
void setLastError(DWord error) { SetLastError(error); }

Handle createEvent(bool manualReset, bool initiallySignalled) {
    return fromWin(CreateEventA(nullptr, manualReset, initiallySignalled, nullptr));
}

bool setEvent(Handle event) { return SetEvent(toWin(event)); }
bool resetEvent(Handle event) { return ResetEvent(toWin(event)); }
DWord waitForSingleObject(Handle object, DWord milliseconds) {
    return WaitForSingleObject(toWin(object), milliseconds);
}

bool closeHandle(Handle handle) { return CloseHandle(toWin(handle)); }

Handle createInstanceLock(const char* name) {
    // Inheritable handle, owned by the caller from the start, in the
    // session's own name space (no prefix).
    SECURITY_ATTRIBUTES inherit = {};
    inherit.nLength = sizeof inherit;
    inherit.bInheritHandle = TRUE;
    SetLastError(ERROR_SUCCESS);  // ERROR_ALREADY_EXISTS is the only news on success
    return fromWin(CreateMutexA(&inherit, TRUE, name));
}

}  // namespace plat
