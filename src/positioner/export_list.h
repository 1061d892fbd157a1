// Every exported Positioner function with its argument byte count (the
// number in the decorated name _Name@bytes), taken from the register map:
// the 64 of the family, then the additions.
#ifndef POSITIONER_EXPORT_LIST_H
#define POSITIONER_EXPORT_LIST_H

#include "register_map.h"

namespace pos {

struct ExportName {
    const char* name;
    int argBytes;
};

#define POS_EXPORT_NAME(name, bytes, ...) {#name, bytes},
constexpr ExportName kExportNames[] = {
    POSITIONER_OWN_BODIES(POS_EXPORT_NAME)
    POSITIONER_SETTERS(POS_EXPORT_NAME)
    POSITIONER_SEQUENCES(POS_EXPORT_NAME)
    POSITIONER_DIRECTIONS(POS_EXPORT_NAME)
    POSITIONER_CACHED_GETTERS(POS_EXPORT_NAME)
    POSITIONER_QUERIES(POS_EXPORT_NAME)
    POSITIONER_ADDITIONS(POS_EXPORT_NAME)
};
constexpr ExportName kAdditionNames[] = {POSITIONER_ADDITIONS(POS_EXPORT_NAME)};
#undef POS_EXPORT_NAME

constexpr int kExportCount = sizeof(kExportNames) / sizeof(kExportNames[0]);
constexpr int kAdditionCount = sizeof(kAdditionNames) / sizeof(kAdditionNames[0]);
static_assert(kExportCount - kAdditionCount == 64, "the Positioner family has 64 functions");

}  // namespace pos

#endif
