// Telegram byte vectors as the simulator sends them.
#ifndef SIM_WIRE_H
#define SIM_WIRE_H

#include <cstdint>

#include "framer.h"

namespace sim {

Bytes makeAck(int32_t address, int32_t index, int32_t correlation, int32_t reason, int32_t value);
Bytes makeTell(int32_t address, int32_t index, int32_t value);  // correlation 0
// Header-only telegram (length 16) with any opcode.
Bytes makeHeader(int32_t opcode, int32_t address, int32_t index, int32_t correlation);

}  // namespace sim

#endif
