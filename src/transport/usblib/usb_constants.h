// Fixed values of the libusb transport and the libusb-0.1 result codes it
// acts on.
#ifndef TRANSPORT_USBLIB_USB_CONSTANTS_H
#define TRANSPORT_USBLIB_USB_CONSTANTS_H

#include "platform/libusb_api.h"
#include "wire/offsets.h"

namespace transport::usblib {

constexpr int kInterface = 0;
constexpr int kBulkInEndpoint = 0x86;
constexpr int kBulkOutEndpoint = 0x02;
// An ACK (reason and value words) as a whole.
constexpr int kSmallestWholeAck = UC_HEADER_SIZE + 2 * static_cast<int>(uc::kWordSize);
// Smallest ring the object accepts whatever the ring settings say: two
// slots of one telegram (UC_MAX_TELEGRAM) each.
constexpr int kMinSlotCount = 2;

// Result codes of a claimed interface held elsewhere and of a bulk
// transfer that timed out.
constexpr int kClaimInUse = plat::kLibUsbClaimInUse;
constexpr int kTransferTimeout = plat::kLibUsbTransferTimeout;

}  // namespace transport::usblib

#endif
