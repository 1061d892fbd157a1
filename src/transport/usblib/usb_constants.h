// Fixed values of the libusb transport and the libusb-0.1 result codes it
// acts on.
#ifndef TRANSPORT_USBLIB_USB_CONSTANTS_H
#define TRANSPORT_USBLIB_USB_CONSTANTS_H

#include <cerrno>

#include "wire/offsets.h"

namespace usblib {

constexpr int kInterface = 0;
constexpr int kBulkInEndpoint = 0x86;
constexpr int kBulkOutEndpoint = 0x02;
// An ACK (reason and value words) as a whole.
constexpr int kSmallestWholeAck = UC_HEADER_SIZE + 2 * static_cast<int>(uc::kWordSize);
// Smallest ring the object accepts whatever the ring settings say: slots
// of one telegram.
constexpr int kMinSlotCount = 2;

// libusb-0.1 on Linux (Debian libusb 0.1.12, usbfs backend) reports
// failures as negative errno values. A claim of an interface that another
// driver or process holds fails with -EBUSY; a bulk transfer that does not
// complete within its time-out ends with -ETIMEDOUT. libusb-win32 uses -5
// and -116 for the same two conditions.
#if defined(_WIN32)
constexpr int kClaimInUse = -5;
constexpr int kTransferTimeout = -116;
#else
constexpr int kClaimInUse = -EBUSY;
constexpr int kTransferTimeout = -ETIMEDOUT;
#endif

}  // namespace usblib

#endif
