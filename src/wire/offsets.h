// Byte offsets of the telegram fields. Every field is a little-endian
// 32-bit word; the size limit is UC_MAX_TELEGRAM (uc_telegram.h), also the
// transfer size of every carrier.
#ifndef WIRE_OFFSETS_H
#define WIRE_OFFSETS_H

#include <cstddef>

#include "uc_telegram.h"

namespace uc {

constexpr size_t kLengthOffset = 0;
constexpr size_t kOpcodeOffset = 4;
constexpr size_t kAddressOffset = 8;
constexpr size_t kIndexOffset = 12;
constexpr size_t kCorrelationOffset = 16;
constexpr size_t kDataOffset = UC_HEADER_SIZE;
constexpr size_t kWordSize = 4;
// Bytes needed to read the length word, the opcode, the address.
constexpr size_t kLengthEnd = kLengthOffset + kWordSize;
constexpr size_t kOpcodeEnd = kOpcodeOffset + kWordSize;
constexpr size_t kAddressEnd = kAddressOffset + kWordSize;

// Bytes the length word counts beyond itself in a header-only telegram.
constexpr int kHeaderLength = UC_HEADER_SIZE - 4;

}  // namespace uc

#endif
