// Conversions between the handle types of usb_driver_api.h and those of
// the Windows API behind it.
#ifndef PLATFORM_WINDOWS_WIN_HANDLES_H
#define PLATFORM_WINDOWS_WIN_HANDLES_H

#include <windows.h>

#include "platform/usb_driver_api.h"

namespace plat {

static_assert(sizeof(Handle) == sizeof(HANDLE), "a handle fits plat::Handle");
static_assert(sizeof(DWord) == sizeof(DWORD), "plat::DWord is a DWORD");

inline HANDLE toWin(Handle h) { return reinterpret_cast<HANDLE>(h); }
inline Handle fromWin(HANDLE h) { return reinterpret_cast<Handle>(h); }

}  // namespace plat

#endif
