// Building and reading controller telegrams. Fields are little-endian on
// the wire whatever the host's byte order; these helpers convert.
#ifndef WIRE_TELEGRAM_H
#define WIRE_TELEGRAM_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "offsets.h"
#include "uc_telegram.h"

namespace uc {

inline uint32_t byteSwapIfBigEndian(uint32_t v) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return __builtin_bswap32(v);
#else
    return v;
#endif
}

// Reads a little-endian int32 at byte offset of a byte buffer.
inline int32_t get32(const void* bytes, size_t offset = 0) {
    uint32_t raw;
    std::memcpy(&raw, static_cast<const unsigned char*>(bytes) + offset, 4);
    return static_cast<int32_t>(byteSwapIfBigEndian(raw));
}

inline void put32(void* bytes, size_t offset, int32_t value) {
    uint32_t raw = byteSwapIfBigEndian(static_cast<uint32_t>(value));
    std::memcpy(static_cast<unsigned char*>(bytes) + offset, &raw, 4);
}

// Field readers of a telegram held in wire order.
inline int32_t length(const UcTelegram& t) { return get32(&t, kLengthOffset); }
inline int32_t opcode(const UcTelegram& t) { return get32(&t, kOpcodeOffset); }
inline int32_t address(const UcTelegram& t) { return get32(&t, kAddressOffset); }
inline int32_t index(const UcTelegram& t) { return get32(&t, kIndexOffset); }
inline int32_t correlation(const UcTelegram& t) { return get32(&t, kCorrelationOffset); }
// Data word i (0-based), i < UC_MAX_DATA_WORDS.
inline int32_t dataWord(const UcTelegram& t, int i) {
    return get32(&t, kDataOffset + kWordSize * static_cast<size_t>(i));
}
inline int32_t ackReason(const UcTelegram& t) { return dataWord(t, 0); }
inline int32_t ackValue(const UcTelegram& t) { return dataWord(t, 1); }
inline int32_t tellValue(const UcTelegram& t) { return dataWord(t, 0); }

inline void setDataWord(UcTelegram& t, int i, int32_t v) {
    put32(&t, kDataOffset + kWordSize * static_cast<size_t>(i), v);
}

// Number of data words that a length word announces, bounded by the data
// area of a 512-byte telegram; 0 for a length below the header.
int dataWordCount(int32_t length);

// Whole telegram size (length word + 4) in bytes.
inline int64_t wireSize(int32_t length) { return static_cast<int64_t>(length) + kLengthEnd; }

// Writes a telegram with the given header and n data words (n is clamped
// to 0..123). Returns the number of bytes to send (20 + 4n).
int build(UcTelegram& t, int32_t opcode, int32_t address, int32_t index, int32_t correlation,
          const int32_t* words, int n);

inline int buildGet(UcTelegram& t, int32_t address, int32_t index, int32_t correlation) {
    return build(t, UC_OP_GET, address, index, correlation, nullptr, 0);
}
inline int buildSet(UcTelegram& t, int32_t address, int32_t index, int32_t correlation, int32_t value) {
    return build(t, UC_OP_SET, address, index, correlation, &value, 1);
}
inline int buildAck(UcTelegram& t, int32_t address, int32_t index, int32_t correlation, int32_t reason,
                    int32_t value) {
    const int32_t words[2] = {reason, value};
    return build(t, UC_OP_ACK, address, index, correlation, words, 2);
}
inline int buildTell(UcTelegram& t, int32_t address, int32_t index, int32_t correlation, int32_t value) {
    return build(t, UC_OP_TELL, address, index, correlation, &value, 1);
}

// Four-character opcode name ("SET ", "GET ", ..., "CHRQ"); nullptr for an
// opcode outside 0..6.
const char* knownOpcodeName(int32_t opcode);

// Text of an ACK reason: "ok", "invalid address", "out of range",
// "unknown error"; nullptr for any other value.
const char* knownReasonText(int32_t reason);

}  // namespace uc

#endif
