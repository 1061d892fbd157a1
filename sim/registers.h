// Register addresses the simulated controller gives a meaning to: the names
// of the wire layer.
#ifndef SIM_REGISTERS_H
#define SIM_REGISTERS_H

#include "wire/registers.h"

namespace sim {
namespace reg = uc::reg;
}  // namespace sim

#endif
