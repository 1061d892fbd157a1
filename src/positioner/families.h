// Descriptor types of the register map (register_map.h) and the bodies
// that every function of a family shares.
#ifndef POSITIONER_FAMILIES_H
#define POSITIONER_FAMILIES_H

#include <cstdint>

#include "axis_cache.h"
#include "ranges.h"
#include "register_map.h"

namespace pos {

enum class Shape { Axis, AxisInt, AxisBool, Int, Bool, IntInt, AxisIntInt, IntOut, BoolOut, RefOut };

// Arguments after the handle, per shape.
constexpr int argCount(Shape s) {
    switch (s) {
        case Shape::Axis:
        case Shape::Int:
        case Shape::Bool: return 1;
        case Shape::AxisIntInt:
        case Shape::RefOut: return 3;
        default: return 2;
    }
}

// Where an index or a value comes from.
enum class Arg { Zero, Arg1, Arg2, Arg3, Const, One };
enum class Rule { Raw, NonZero, IsOne, StatusBits };
enum class OnFailure { Stop, Go };
enum class Request { Get, StartMeasure };

struct SetterSpec {
    const char* name;
    int argBytes;
    Shape shape;
    int32_t reg;
    Arg index, value;
    Rule rule;
    int32_t constant;
    Range arg1, arg2;
    Field cache;  // also stored there after a successful send, or None
};

struct Step {
    int32_t reg;  // 0: no step
    Arg value;
    OnFailure onFailure;
};

struct SequenceSpec {
    const char* name;
    int argBytes;
    Shape shape;
    Range arg1;
    Step steps[3];
};

struct DirectionSpec {
    const char* name;
    int argBytes;
    Shape shape;
    int32_t regs[2];  // by direction 0, 1
};

struct CachedSpec {
    const char* name;
    int argBytes;
    Shape shape;
    Field field;
    Rule rule;
};

struct QuerySpec {
    const char* name;
    int argBytes;
    Shape shape;
    Request request;
    int32_t reg;
    Wait wait;
    Field field;
};

#define POS_ID(name, ...) name,
enum class SetterId { POSITIONER_SETTERS(POS_ID) };
enum class SequenceId { POSITIONER_SEQUENCES(POS_ID) };
enum class DirectionId { POSITIONER_DIRECTIONS(POS_ID) };
enum class CachedId { POSITIONER_CACHED_GETTERS(POS_ID) };
enum class QueryId { POSITIONER_QUERIES(POS_ID) };
#undef POS_ID

const SetterSpec& setterSpec(SetterId id);
const SequenceSpec& sequenceSpec(SequenceId id);
const DirectionSpec& directionSpec(DirectionId id);
const CachedSpec& cachedSpec(CachedId id);
const QuerySpec& querySpec(QueryId id);

// Arguments are passed by position after the handle; a bool argument as
// its byte value, unused positions as 0.
int runSetter(SetterId id, int handle, int32_t arg1, int32_t arg2);
int runSequence(SequenceId id, int handle, int32_t arg1, int32_t arg2, int32_t arg3);
int runDirection(DirectionId id, int handle, int32_t axis, int32_t direction);
int runCached(CachedId id, int handle, int32_t axis, int32_t* out, bool* valid);
int runQuery(QueryId id, int handle, int32_t axis, int32_t* intOut, bool* boolOut);

}  // namespace pos

#endif
