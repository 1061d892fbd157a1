// The request set of the vendor's USB kernel driver (the Cypress CyUSB
// generic driver's): interface GUIDs, I/O control codes, bulk endpoints and
// the 38-byte single-transfer record.
#ifndef PLATFORM_USB_DRIVER_PROTOCOL_H
#define PLATFORM_USB_DRIVER_PROTOCOL_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "usb_driver_api.h"

namespace plat {

// {3E260C23-0A11-438D-A520-50B12855456B}: hardware variant 1.
constexpr Guid kGuidVariant1 = {0x3E260C23, 0x0A11, 0x438D, {0xA5, 0x20, 0x50, 0xB1, 0x28, 0x55, 0x45, 0x6B}};
// {3B8EEFEB-E80D-4F35-A72A-55AFA2864155}: hardware variant 0.
constexpr Guid kGuidVariant0 = {0x3B8EEFEB, 0xE80D, 0x4F35, {0xA7, 0x2A, 0x55, 0xAF, 0xA2, 0x86, 0x41, 0x55}};

constexpr DWord kIoctlBulkTransfer = 0x0022004B;  // in: SingleTransfer; out: data
constexpr DWord kIoctlAbortPipe = 0x00220044;     // in: 1 byte endpoint address
constexpr DWord kIoctlResetPipe = 0x00220030;     // no buffers

constexpr uint8_t kEndpointIn = 0x86;
constexpr uint8_t kEndpointOut = 0x02;

constexpr size_t kSingleTransferSize = 38;
constexpr size_t kSingleTransferEndpointOffset = 13;

// Request record of a bulk transfer: all zero except the endpoint address.
struct SingleTransfer {
    uint8_t bytes[kSingleTransferSize];
};
static_assert(sizeof(SingleTransfer) == kSingleTransferSize, "record must be 38 bytes");

inline void prepareSingleTransfer(SingleTransfer& record, uint8_t endpoint) {
    std::memset(record.bytes, 0, sizeof record.bytes);
    record.bytes[kSingleTransferEndpointOffset] = endpoint;
}

inline uint8_t singleTransferEndpoint(const void* record) {
    return static_cast<const uint8_t*>(record)[kSingleTransferEndpointOffset];
}

}  // namespace plat

#endif
