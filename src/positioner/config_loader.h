// PositionerLoad: sends the keyword/value pairs of an axis configuration
// file to one axis.
#ifndef POSITIONER_CONFIG_LOADER_H
#define POSITIONER_CONFIG_LOADER_H

#include <cstddef>
#include <cstdint>

namespace pos {

int32_t loadConfiguration(int32_t handle, int32_t axis, const char* fileName);

// The register a keyword names, -1 for none. The keyword is length bytes
// (it may hold any byte, also a zero).
int32_t keywordRegister(const char* keyword, size_t length);

}  // namespace pos

#endif
