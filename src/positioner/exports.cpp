// The exported Positioner functions: each forwards to the body of its
// family with the row of the register map that names it.
#include <cstring>

#include "addressing.h"
#include "config_loader.h"
#include "families.h"
#include "halt.h"
#include "lifecycle.h"
#include "positioner.h"
#include "report_signal.h"
#include "result_text.h"
#include "trace_control.h"

namespace {
// The byte a bool argument arrived as; only that byte is read, so a byte
// other than 0 or 1 reaches the value rules as it is.
inline int32_t byteOf(bool flag) {
    unsigned char raw;
    std::memcpy(&raw, &flag, 1);
    return raw;
}
}  // namespace

// One definition per shape; the parameter lists must match positioner.h,
// which the compiler checks since both declare C functions.
#define POS_DEFINE_Axis(family, name) \
    int32_t UC_STDCALL name(int32_t h, int32_t a) { return pos::run##family(pos::family##Id::name, h, a, 0); }
#define POS_DEFINE_AxisInt(family, name)                         \
    int32_t UC_STDCALL name(int32_t h, int32_t a, int32_t v) {   \
        return pos::run##family(pos::family##Id::name, h, a, v); \
    }
#define POS_DEFINE_AxisBool(family, name)                                \
    int32_t UC_STDCALL name(int32_t h, int32_t a, bool v) {              \
        return pos::run##family(pos::family##Id::name, h, a, byteOf(v)); \
    }
#define POS_DEFINE_Int(family, name) \
    int32_t UC_STDCALL name(int32_t h, int32_t v) { return pos::run##family(pos::family##Id::name, h, v, 0); }
#define POS_DEFINE_Bool(family, name)                                    \
    int32_t UC_STDCALL name(int32_t h, bool v) {                         \
        return pos::run##family(pos::family##Id::name, h, byteOf(v), 0); \
    }
#define POS_DEFINE_IntInt POS_DEFINE_AxisInt
#define POS_DEFINE_AxisIntInt(family, name)                               \
    int32_t UC_STDCALL name(int32_t h, int32_t a, int32_t v, int32_t w) { \
        return pos::run##family(pos::family##Id::name, h, a, v, w);       \
    }
#define POS_DEFINE_IntOut(family, name)                                     \
    int32_t UC_STDCALL name(int32_t h, int32_t a, int32_t* out) {           \
        return pos::run##family(pos::family##Id::name, h, a, out, nullptr); \
    }
#define POS_DEFINE_BoolOut(family, name)                                    \
    int32_t UC_STDCALL name(int32_t h, int32_t a, bool* out) {              \
        return pos::run##family(pos::family##Id::name, h, a, nullptr, out); \
    }
#define POS_DEFINE_RefOut(family, name)                                        \
    int32_t UC_STDCALL name(int32_t h, int32_t a, int32_t* out, bool* valid) { \
        return pos::run##family(pos::family##Id::name, h, a, out, valid);      \
    }

#define POS_SETTER_EXPORT(name, bytes, shape, ...)    POS_DEFINE_##shape(Setter, name)
#define POS_SEQUENCE_EXPORT(name, bytes, shape, ...)  POS_DEFINE_##shape(Sequence, name)
#define POS_DIRECTION_EXPORT(name, bytes, shape, ...) POS_DEFINE_##shape(Direction, name)
#define POS_CACHED_EXPORT(name, bytes, shape, ...)    POS_DEFINE_##shape(Cached, name)
#define POS_QUERY_EXPORT(name, bytes, shape, ...)     POS_DEFINE_##shape(Query, name)

extern "C" {

POSITIONER_SETTERS(POS_SETTER_EXPORT)
POSITIONER_SEQUENCES(POS_SEQUENCE_EXPORT)
POSITIONER_DIRECTIONS(POS_DIRECTION_EXPORT)
POSITIONER_CACHED_GETTERS(POS_CACHED_EXPORT)
POSITIONER_QUERIES(POS_QUERY_EXPORT)

int32_t UC_STDCALL PositionerCheck(DetectedDevice** devices) { return pos::checkDevices(devices); }
int32_t UC_STDCALL PositionerConnect(int32_t device, int32_t* handle) {
    return pos::connectHandle(device, handle);
}
int32_t UC_STDCALL PositionerClose(int32_t handle) { return pos::closeHandle(handle); }
int32_t UC_STDCALL PositionerSetHardwareId(int32_t handle, int32_t id) {
    return pos::setHardwareId(handle, id);
}
int32_t UC_STDCALL PositionerLoad(int32_t handle, int32_t axis, const char* fileName) {
    return pos::loadConfiguration(handle, axis, fileName);
}

int32_t UC_STDCALL PositionerDeviceInfo(int32_t device, PositionerDeviceDescription* info) {
    return pos::describeDevice(device, info);
}
int32_t UC_STDCALL PositionerConnectAddress(const char* address, int32_t* handle) {
    return pos::connectAddress(address, handle);
}
int32_t UC_STDCALL PositionerTraceOff(void) { return pos::traceOff(); }
int32_t UC_STDCALL PositionerTraceToStderr(void) { return pos::traceToStderr(); }
int32_t UC_STDCALL PositionerTraceToFile(const char* path) { return pos::traceToFile(path); }
int32_t UC_STDCALL PositionerTraceFlags(int32_t flags) { return pos::traceFlags(flags); }
int32_t UC_STDCALL PositionerTracePrefix(const char* prefix) { return pos::tracePrefix(prefix); }

int32_t UC_STDCALL PositionerHalt(int32_t handle, int32_t axis) { return pos::haltAxis(handle, axis); }
int32_t UC_STDCALL PositionerHaltAll(int32_t handle) { return pos::haltAllAxes(handle); }
int32_t UC_STDCALL PositionerWaitReport(int32_t handle, uint32_t* sequence, int32_t timeoutMs,
                                        int32_t* changedAxes) {
    return pos::waitReport(handle, sequence, timeoutMs, changedAxes);
}
const char* UC_STDCALL PositionerResultText(int32_t code) { return pos::resultText(code); }

}  // extern "C"
