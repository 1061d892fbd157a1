// The libusb-0.1 API behind the libusb transport: linked on Linux
// (libusb-compat), loaded at run time on Windows (libusb0.dll).
#ifndef TRANSPORT_USBLIB_USB_API_H
#define TRANSPORT_USBLIB_USB_API_H

#if defined(_WIN32)
#include "platform/windows/libusb0.h"
#else
#include <usb.h>

// The linked library is always there.
inline bool usbLibraryLoaded() { return true; }
#endif

#endif
