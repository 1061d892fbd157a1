#include "wire.h"

#include "wire/telegram.h"

namespace sim {

namespace {
Bytes bytesOf(const UcTelegram& t, int size) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(&t);
    return Bytes(p, p + size);
}
}  // namespace

Bytes makeAck(int32_t address, int32_t index, int32_t correlation, int32_t reason, int32_t value) {
    UcTelegram t;
    int size = uc::buildAck(t, address, index, correlation, reason, value);
    return bytesOf(t, size);
}

Bytes makeTell(int32_t address, int32_t index, int32_t value) {
    UcTelegram t;
    int size = uc::buildTell(t, address, index, 0, value);
    return bytesOf(t, size);
}

Bytes makeHeader(int32_t opcode, int32_t address, int32_t index, int32_t correlation) {
    UcTelegram t;
    int size = uc::build(t, opcode, address, index, correlation, nullptr, 0);
    return bytesOf(t, size);
}

}  // namespace sim
