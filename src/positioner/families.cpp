#include "families.h"

#include "handle_table.h"
#include "positioner.h"
#include "wire/registers.h"
#include "wire/status_bits.h"
#include "wire/timing.h"

namespace pos {

namespace reg = uc::reg;

namespace {

// Row notation of register_map.h.
#define ANY                      kUnchecked
#define R(lo, hi)                range((lo), (hi))
#define AXIS                     kAxisRange
#define S(reg, value, onFailure) (Step{(reg), Arg::value, OnFailure::onFailure})
#define NO_STEP                  (Step{0, Arg::Zero, OnFailure::Go})

#define POS_CHECK_BYTES(name, bytes, shape) \
    static_assert((bytes) == 4 + 4 * argCount(Shape::shape), #name ": argument bytes do not fit its shape");

#define POS_SETTER(name, bytes, shape, reg, index, value, rule, constant, range1, range2, cache, origin) \
    {#name,      bytes,    Shape::shape, reg,    Arg::index,  Arg::value,                                \
     Rule::rule, constant, range1,       range2, Field::cache},
#define POS_SEQUENCE(name, bytes, shape, range1, s1, s2, s3, origin) \
    {#name, bytes, Shape::shape, range1, {s1, s2, s3}},
#define POS_DIRECTION(name, bytes, shape, reg0, reg1, origin) {#name, bytes, Shape::shape, {reg0, reg1}},
#define POS_CACHED(name, bytes, shape, field, rule, origin) \
    {#name, bytes, Shape::shape, Field::field, Rule::rule},
#define POS_QUERY(name, bytes, shape, request, reg, wait, field, origin) \
    {#name, bytes, Shape::shape, Request::request, reg, Wait::wait, Field::field},

const SetterSpec kSetters[] = {POSITIONER_SETTERS(POS_SETTER)};
const SequenceSpec kSequences[] = {POSITIONER_SEQUENCES(POS_SEQUENCE)};
const DirectionSpec kDirections[] = {POSITIONER_DIRECTIONS(POS_DIRECTION)};
const CachedSpec kCached[] = {POSITIONER_CACHED_GETTERS(POS_CACHED)};
const QuerySpec kQueries[] = {POSITIONER_QUERIES(POS_QUERY)};

#define POS_BYTES_OF(name, bytes, shape, ...) POS_CHECK_BYTES(name, bytes, shape)
POSITIONER_SETTERS(POS_BYTES_OF)
POSITIONER_SEQUENCES(POS_BYTES_OF)
POSITIONER_DIRECTIONS(POS_BYTES_OF)
POSITIONER_CACHED_GETTERS(POS_BYTES_OF)
POSITIONER_QUERIES(POS_BYTES_OF)

#undef ANY
#undef R
#undef AXIS
#undef S
#undef NO_STEP

// Status word bits and the PositionerGetStatus flags they become.
struct StatusFlag {
    int32_t bit;
    int32_t flag;
};
constexpr StatusFlag kStatusFlags[] = {
    {uc::status::kMoving, POSITIONER_STATUS_MOVING},
    {uc::status::kTargetReached, POSITIONER_STATUS_TARGET_REACHED},
    {uc::status::kEndOfTravel, POSITIONER_STATUS_END_OF_TRAVEL},
    {uc::status::kApproachActive, POSITIONER_STATUS_APPROACH_ACTIVE},
};

int32_t statusFlags(int32_t word) {
    int32_t flags = 0;
    for (const StatusFlag& f : kStatusFlags) {
        if (word & f.bit) flags |= f.flag;
    }
    return flags;
}

int32_t argValue(Arg a, int32_t arg1, int32_t arg2, int32_t arg3, int32_t constant) {
    switch (a) {
        case Arg::Arg1: return arg1;
        case Arg::Arg2: return arg2;
        case Arg::Arg3: return arg3;
        case Arg::Const: return constant;
        case Arg::One: return 1;
        case Arg::Zero: break;
    }
    return 0;
}

int32_t applyRule(Rule rule, int32_t v) {
    switch (rule) {
        case Rule::NonZero: return v != 0 ? 1 : 0;
        case Rule::IsOne: return v == 1 ? 1 : 0;
        case Rule::StatusBits: return statusFlags(v);
        case Rule::Raw: break;
    }
    return v;
}

// Sends the query's request and waits for the wake of its reply. The
// request buffer is held for the send only. A handle that is closed or
// loses its connection meanwhile ends the wait at once (result 2).
int awaitReply(HandleEntry& h, const QuerySpec& s, int32_t axis) {
    if (s.request == Request::Get) {
        const int rc = sendGet(h, s.reg, axis);
        if (rc != RC_OK) return rc;
    } else {
        sendSet(h, s.reg, axis, 1);  // the measurement's result comes by TELL
    }
    const bool woken = h.axes[axis].wait(s.wait)->wait(uc::kReplyWaitMs);
    if (!usable(h)) return RC_NOT_CONNECTED;
    return woken ? RC_OK : RC_TIMEOUT;
}

}  // namespace

const SetterSpec& setterSpec(SetterId id) { return kSetters[static_cast<int>(id)]; }
const SequenceSpec& sequenceSpec(SequenceId id) { return kSequences[static_cast<int>(id)]; }
const DirectionSpec& directionSpec(DirectionId id) { return kDirections[static_cast<int>(id)]; }
const CachedSpec& cachedSpec(CachedId id) { return kCached[static_cast<int>(id)]; }
const QuerySpec& querySpec(QueryId id) { return kQueries[static_cast<int>(id)]; }

int runSetter(SetterId id, int handle, int32_t arg1, int32_t arg2) {
    const SetterSpec& s = setterSpec(id);
    HandleUse use(handle);
    HandleEntry* h = use.entry();
    if (!h) return RC_NOT_CONNECTED;
    if (!s.arg1.accepts(arg1) || !s.arg2.accepts(arg2)) return RC_INVALID_PARAM;

    const int32_t index = argValue(s.index, arg1, arg2, 0, s.constant);
    const int32_t value = applyRule(s.rule, argValue(s.value, arg1, arg2, 0, s.constant));
    const int rc = sendSet(*h, s.reg, index, value);
    if (rc == RC_OK && s.cache != Field::None) h->axes[index].set(s.cache, value);
    return rc;
}

int runSequence(SequenceId id, int handle, int32_t arg1, int32_t arg2, int32_t arg3) {
    const SequenceSpec& s = sequenceSpec(id);
    HandleUse use(handle);
    HandleEntry* h = use.entry();
    if (!h) return RC_NOT_CONNECTED;
    if (!s.arg1.accepts(arg1)) return RC_INVALID_PARAM;

    // The steps go out together: a stop from another thread comes before
    // or after the whole sequence, never between its target and its start.
    RequestScope scope(*h);
    int rc = RC_OK;
    for (const Step& step : s.steps) {
        if (step.reg == 0) break;
        rc = sendSet(*h, step.reg, arg1, argValue(step.value, arg1, arg2, arg3, 0));
        if (rc != RC_OK && step.onFailure == OnFailure::Stop) break;
    }
    return rc;
}

int runDirection(DirectionId id, int handle, int32_t axis, int32_t direction) {
    const DirectionSpec& s = directionSpec(id);
    HandleUse use(handle);
    HandleEntry* h = use.entry();
    if (!h) return RC_NOT_CONNECTED;
    if (!validAxis(axis) || !inRange(direction, 0, 1)) return RC_INVALID_PARAM;
    return sendSet(*h, s.regs[direction], axis, 1);
}

int runCached(CachedId id, int handle, int32_t axis, int32_t* out, bool* valid) {
    const CachedSpec& s = cachedSpec(id);
    HandleEntry* h = connectedEntry(handle);
    if (!h) return RC_NOT_CONNECTED;
    if (!validAxis(axis) || !out || (s.shape == Shape::RefOut && !valid)) return RC_INVALID_PARAM;

    const AxisEntry& entry = h->axes[axis];
    *out = applyRule(s.rule, entry.get(s.field));
    if (s.shape == Shape::RefOut) *valid = (entry.get(Field::Status) & uc::status::kReferenceValid) != 0;
    return RC_OK;
}

int runQuery(QueryId id, int handle, int32_t axis, int32_t* intOut, bool* boolOut) {
    const QuerySpec& s = querySpec(id);
    HandleUse use(handle);
    HandleEntry* h = use.entry();
    if (!h) return RC_NOT_CONNECTED;
    const bool boolResult = s.shape == Shape::BoolOut;
    if (!validAxis(axis) || (boolResult ? !boolOut : !intOut)) return RC_INVALID_PARAM;

    const int turn = h->queryTurns.take(*h, axis, s.wait, uc::kReplyWaitMs);
    if (turn != RC_OK) return turn;
    const int rc = awaitReply(*h, s, axis);
    h->queryTurns.give(axis, s.wait);
    if (rc != RC_OK) return rc;

    const int32_t value = h->axes[axis].get(s.field);
    if (boolResult) {
        *boolOut = value == 1;
    } else {
        *intOut = value;
    }
    return RC_OK;
}

}  // namespace pos
