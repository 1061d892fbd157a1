#include "telegram_bytes.h"

#include "wire/telegram.h"

namespace test_support {

Bytes telegramWithLength(int32_t lengthWord, int32_t opcode, int32_t address, int32_t index,
                         int32_t correlation, const std::vector<int32_t>& words) {
    Bytes bytes(uc::kDataOffset + uc::kWordSize * words.size());
    const int32_t header[] = {lengthWord, opcode, address, index, correlation};
    for (size_t i = 0; i < 5; ++i) uc::put32(bytes.data(), uc::kWordSize * i, header[i]);
    for (size_t i = 0; i < words.size(); ++i)
        uc::put32(bytes.data(), uc::kDataOffset + uc::kWordSize * i, words[i]);
    return bytes;
}

Bytes telegram(int32_t opcode, int32_t address, int32_t index, int32_t correlation,
               const std::vector<int32_t>& words) {
    const int32_t length = uc::kHeaderLength + static_cast<int32_t>(uc::kWordSize * words.size());
    return telegramWithLength(length, opcode, address, index, correlation, words);
}

Bytes tell(int32_t address, int32_t value) { return telegram(UC_OP_TELL, address, 0, 0, {value}); }

Bytes ack(int32_t address, int32_t value) { return telegram(UC_OP_ACK, address, 0, 1, {0, value}); }

Bytes get(int32_t address) { return telegram(UC_OP_GET, address, 0, 1); }

Bytes raw(int32_t lengthWord, int32_t opcode, size_t total) {
    Bytes b(total < 8 ? 8 : total, 0);
    uc::put32(b.data(), uc::kLengthOffset, lengthWord);
    uc::put32(b.data(), uc::kOpcodeOffset, opcode);
    b.resize(total);
    return b;
}

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

Bytes slice(const Bytes& bytes, size_t from, size_t n) {
    if (from > bytes.size()) from = bytes.size();
    if (n > bytes.size() - from) n = bytes.size() - from;
    return Bytes(bytes.begin() + static_cast<long>(from), bytes.begin() + static_cast<long>(from + n));
}

}  // namespace test_support
