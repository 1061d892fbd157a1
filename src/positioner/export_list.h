// Every exported Positioner function with its argument byte count (the
// number in the decorated name _Name@bytes), its C argument letters (those
// of the Python binding) and its origin, taken from the register map.
#ifndef POSITIONER_EXPORT_LIST_H
#define POSITIONER_EXPORT_LIST_H

#include "register_map.h"

namespace pos {

// Original: one of the 64 functions of the Positioner family; Added: added
// beside them.
enum class Origin { Original, Added };

struct ExportName {
    const char* name;
    int argBytes;
    const char* letters;  // one per C argument, handle first (register_map.h)
    Origin origin;
};

constexpr int letterCount(const char* letters) { return *letters ? 1 + letterCount(letters + 1) : 0; }

// The C arguments of each shape, handle first.
#define POS_LETTERS_Axis       "ii"
#define POS_LETTERS_AxisInt    "iii"
#define POS_LETTERS_AxisBool   "iib"
#define POS_LETTERS_Int        "ii"
#define POS_LETTERS_Bool       "ib"
#define POS_LETTERS_IntInt     "iii"
#define POS_LETTERS_AxisIntInt "iiii"
#define POS_LETTERS_IntOut     "iiI"
#define POS_LETTERS_BoolOut    "iiB"
#define POS_LETTERS_RefOut     "iiIB"

#define POS_ENTRY(name, bytes, letters, origin) {#name, bytes, letters, Origin::origin},
#define POS_SETTER_ENTRY(name, bytes, shape, reg, index, value, rule, constant, range1, range2, cache, origin) \
    POS_ENTRY(name, bytes, POS_LETTERS_##shape, origin)
#define POS_SEQUENCE_ENTRY(name, bytes, shape, range1, s1, s2, s3, origin) \
    POS_ENTRY(name, bytes, POS_LETTERS_##shape, origin)
#define POS_DIRECTION_ENTRY(name, bytes, shape, reg0, reg1, origin) \
    POS_ENTRY(name, bytes, POS_LETTERS_##shape, origin)
#define POS_CACHED_ENTRY(name, bytes, shape, field, rule, origin) \
    POS_ENTRY(name, bytes, POS_LETTERS_##shape, origin)
#define POS_QUERY_ENTRY(name, bytes, shape, request, reg, wait, field, origin) \
    POS_ENTRY(name, bytes, POS_LETTERS_##shape, origin)

constexpr ExportName kExportNames[] = {
    POSITIONER_OWN_BODIES(POS_ENTRY) POSITIONER_SETTERS(POS_SETTER_ENTRY)
        POSITIONER_SEQUENCES(POS_SEQUENCE_ENTRY) POSITIONER_DIRECTIONS(POS_DIRECTION_ENTRY)
            POSITIONER_CACHED_GETTERS(POS_CACHED_ENTRY) POSITIONER_QUERIES(POS_QUERY_ENTRY)};

#undef POS_ENTRY
#undef POS_SETTER_ENTRY
#undef POS_SEQUENCE_ENTRY
#undef POS_DIRECTION_ENTRY
#undef POS_CACHED_ENTRY
#undef POS_QUERY_ENTRY

constexpr int kExportCount = sizeof(kExportNames) / sizeof(kExportNames[0]);

// Every argument takes four bytes on the 32-bit stack.
constexpr bool bytesFitLetters() {
    for (const ExportName& e : kExportNames)
        if (e.argBytes != 4 * letterCount(e.letters)) return false;
    return true;
}
static_assert(bytesFitLetters(), "a row's argument bytes do not fit its C arguments");

}  // namespace pos

#endif
