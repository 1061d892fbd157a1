// The argument ranges that the Positioner setters check, taken from the
// register map: one constant per setter and sequence row (ranges::Name), and
// the same rows as one array for the copies written for Python
// (make_copies.cpp). The command line and the benchmarks read their ranges
// here instead of writing the numbers again.
#ifndef POSITIONER_RANGES_H
#define POSITIONER_RANGES_H

#include <cstdint>

#include "register_map.h"

namespace pos {

constexpr int kAxisCount = 6;  // axes 0..5

// An inclusive range; an unchecked one accepts every value.
struct Range {
    bool checked;
    int32_t lo, hi;
    constexpr bool accepts(int32_t v) const { return !checked || (v >= lo && v <= hi); }
};

constexpr Range kUnchecked{false, 0, 0};
constexpr Range range(int32_t lo, int32_t hi) { return {true, lo, hi}; }
constexpr Range kAxisRange = range(0, kAxisCount - 1);

// The ranges of one function's arguments after the handle, by position.
struct ArgRanges {
    const char* name;
    int count;  // arguments after the handle
    Range args[3];
    // The last argument: the value a setter sends.
    constexpr Range value() const { return args[count - 1]; }
};

// Row notation of register_map.h.
#define ANY       ::pos::kUnchecked
#define R(lo, hi) ::pos::range((lo), (hi))
#define AXIS      ::pos::kAxisRange
// Arguments after the handle: the argument bytes less the handle's four.
#define POS_SETTER_RANGES(name, bytes, shape, reg, index, value, rule, constant, range1, range2, ...) \
    constexpr ArgRanges name{#name, ((bytes)-4) / 4, {range1, range2, ANY}};
#define POS_SEQUENCE_RANGES(name, bytes, shape, range1, ...) \
    constexpr ArgRanges name{#name, ((bytes)-4) / 4, {range1, ANY, ANY}};
#define POS_ROW(name, ...) ranges::name,

namespace ranges {
POSITIONER_SETTERS(POS_SETTER_RANGES)
POSITIONER_SEQUENCES(POS_SEQUENCE_RANGES)
}  // namespace ranges

constexpr ArgRanges kArgRanges[] = {POSITIONER_SETTERS(POS_ROW) POSITIONER_SEQUENCES(POS_ROW)};

#undef POS_SETTER_RANGES
#undef POS_SEQUENCE_RANGES
#undef POS_ROW
#undef ANY
#undef R
#undef AXIS

}  // namespace pos

#endif
