// Telegrams as the byte sequences a transport receives, for tests that feed
// transfers or streams by hand.
#ifndef TEST_SUPPORT_TELEGRAM_BYTES_H
#define TEST_SUPPORT_TELEGRAM_BYTES_H

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace test_support {

using Bytes = std::vector<uint8_t>;

// The telegram-to-bytes builder of the tests: header and data words in wire
// order, the length word 16 + 4 * words.size(), or lengthWord as given.
Bytes telegram(int32_t opcode, int32_t address, int32_t index, int32_t correlation,
               const std::vector<int32_t>& words = {});
Bytes telegramWithLength(int32_t lengthWord, int32_t opcode, int32_t address, int32_t index,
                         int32_t correlation, const std::vector<int32_t>& words = {});

// Shorthands (index 0): a TELL, an ACK "ok" of correlation 1, a GET of
// correlation 1.
Bytes tell(int32_t address, int32_t value);
Bytes ack(int32_t address, int32_t value);
Bytes get(int32_t address);
// A telegram header with the given length word and opcode, padded with
// zero bytes to total bytes.
Bytes raw(int32_t lengthWord, int32_t opcode, size_t total);
Bytes join(std::initializer_list<Bytes> parts);
Bytes slice(const Bytes& bytes, size_t from, size_t n);

}  // namespace test_support

#endif
