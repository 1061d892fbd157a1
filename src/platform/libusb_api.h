// The libusb-0.1 API behind the libusb transport: linked on Linux
// (libusb-compat), loaded at run time on Windows (libusb0.dll), and the
// result codes the transport acts on.
#ifndef PLATFORM_LIBUSB_API_H
#define PLATFORM_LIBUSB_API_H

#if defined(_WIN32)
#include "platform/windows/libusb0.h"
#else
#include <usb.h>

#include <cerrno>

// The linked library is always there.
inline bool usbLibraryLoaded() { return true; }
#endif

namespace plat {

// libusb-0.1 on Linux (Debian libusb 0.1.12, usbfs backend) reports
// failures as negative errno values. A claim of an interface that another
// driver or process holds fails with -EBUSY; a bulk transfer that does not
// complete within its time-out ends with -ETIMEDOUT. libusb-win32 uses -5
// and -116 for the same two conditions.
#if defined(_WIN32)
constexpr int kLibUsbClaimInUse = -5;
constexpr int kLibUsbTransferTimeout = -116;
#else
constexpr int kLibUsbClaimInUse = -EBUSY;
constexpr int kLibUsbTransferTimeout = -ETIMEDOUT;
#endif

}  // namespace plat

#endif
