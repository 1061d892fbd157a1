#include "telegram_bytes.h"

#include "wire/telegram.h"

namespace test_support {

namespace {

Bytes bytesOf(const UcTelegram& t, int n) {
    const auto* p = reinterpret_cast<const uint8_t*>(&t);
    return Bytes(p, p + n);
}

}  // namespace

Bytes tell(int32_t address, int32_t value) {
    UcTelegram t{};
    return bytesOf(t, uc::buildTell(t, address, 0, 0, value));
}

Bytes ack(int32_t address, int32_t value) {
    UcTelegram t{};
    return bytesOf(t, uc::buildAck(t, address, 0, 1, 0, value));
}

Bytes get(int32_t address) {
    UcTelegram t{};
    return bytesOf(t, uc::buildGet(t, address, 0, 1));
}

Bytes raw(int32_t lengthWord, int32_t opcode, size_t total) {
    Bytes b(total < 8 ? 8 : total, 0);
    uc::put32(b.data(), 0, lengthWord);
    uc::put32(b.data(), 4, opcode);
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
