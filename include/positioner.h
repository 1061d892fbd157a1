/* Positioner API of dravex: count the controllers, open one by its device
 * number, drive and read its axes, close it. Usable from C and C++.
 *
 * Common rules
 *   - Every function returns a result code (RC_* of uc_telegram.h), except
 *     PositionerCheck, which returns a count.
 *   - A handle is 1..99 as handed out by PositionerConnect. Every function
 *     with a handle, except PositionerClose, answers RC_NOT_CONNECTED (2)
 *     when the handle does not name a connected controller (also for a
 *     handle outside 0..99, and after the connection was lost), before any
 *     other check.
 *   - Then the axis (0..5), every output pointer (non-null) and the value
 *     ranges stated below are checked: RC_INVALID_PARAM (6) on failure.
 *     Nothing is sent when a check fails.
 *   - Setters send SET telegrams and return the send's result without
 *     waiting for a reply. Values pass through unchanged, in the
 *     controller's own units.
 *   - Cached getters copy the last value the controller reported by itself;
 *     they send nothing and never block.
 *   - Querying getters send a GET and wait up to 10000 ms for the reply:
 *     RC_TIMEOUT (1) without a reply (the output is then unchanged); a
 *     failed send returns its result at once.
 *   - A bool argument is read as its byte; a bool output receives 0 or 1.
 *   - Calls on one handle must not overlap; different handles may be used
 *     from different threads.
 *
 * "SET r[i] := v" below means: SET of register r with index i and value v;
 * "a" is the axis. */
#ifndef POSITIONER_H
#define POSITIONER_H

#include <stdbool.h>
#include <stdint.h>

#include "uc_export.h"
#include "uc_telegram.h"

#ifdef __cplusplus
extern "C" {
#endif

/* One element of the array returned by PositionerCheck (8 bytes). */
typedef struct DetectedDevice {
    int32_t hardwareId; /* register 360; 0 when unavailable is set            */
    bool unavailable;   /* could not be opened, or not a positioner controller */
    uint8_t reserved[3];
} DetectedDevice;

#ifdef __cplusplus
static_assert(sizeof(DetectedDevice) == 8, "DetectedDevice must be 8 bytes");
static_assert(sizeof(bool) == 1, "bool must be one byte");
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
_Static_assert(sizeof(DetectedDevice) == 8, "DetectedDevice must be 8 bytes");
_Static_assert(sizeof(bool) == 1, "bool must be one byte");
#endif

/* ---- Lifecycle ---------------------------------------------------------- */

/* Scans every carrier (USB and network discovery), then opens each device
 * found, reads its type (359) and hardware id (360) and closes it again.
 * Stores in *devices the address of an array with one element per device
 * number and returns the number of elements (0 when the scan failed; the
 * address is stored then too). The array belongs to the library: do not
 * free it; it stays valid until the next PositionerCheck, which reuses it.
 * Also resets tracing to standard error with the prefix "Positioner",
 * unless a handle is open (tracing is then left as it is).
 * Handles that are open keep working on the controller they were opened
 * for; device numbers refer to the newest scan. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerCheck(DetectedDevice** devices);

/* Opens device number `device` of the last scan and writes the new handle
 * (the lowest free of 1..99) to *handle. Starts the handle's receive thread
 * and sends SET 325[0] := 1. Results: 0; -1 when 99 handles are open
 * (nothing written); 9 for a device number outside the last scan;
 * RC_DEVICE_LOCKED (7) when another handle already holds that device;
 * otherwise the open's result. On failure *handle receives -1. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerConnect(int32_t device, int32_t* handle);

/* Stops the receive thread (waits up to one receive time-out of the
 * carrier), closes the device and frees the handle number. Returns the
 * device's close result, -1 for a handle that is not allocated. Also
 * frees a handle whose connection was lost. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerClose(int32_t handle);

/* SET 362[0] := id, then (whatever its result) SET 367[0] := 0x5A3C, which
 * makes the controller store the id. Returns the second send's result. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerSetHardwareId(int32_t handle, int32_t id);

/* Sends the parameters of an axis configuration file as SETs to axis a.
 * The file holds pairs of a keyword and a signed decimal 32-bit value,
 * separated by any white space. Unknown keywords (and tokens longer than
 * 103 characters) are skipped with their value; a pair whose value is not
 * a decimal 32-bit integer is skipped; a keyword without a value at the
 * end is dropped. Failed sends are ignored. Results: 0 once the file is
 * read; 6 for axis outside 0..5, a null name or a file that cannot be
 * opened. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerLoad(int32_t handle, int32_t axis, const char* fileName);

/* ---- Setters of one axis (index = axis) --------------------------------- */

/* SET 1095[a] := the byte of enable. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerSetOutput(int32_t handle, int32_t axis, bool enable);
/* SET 1103[a] := 1 (position counter to 0). */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerResetPosition(int32_t handle, int32_t axis);
/* SET 1032[a] := position (target without starting a move). */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerUpdateAbsolute(int32_t handle, int32_t axis, int32_t position);
/* SET 1092[a] := 1 (move to the reference mark). */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerMoveReference(int32_t handle, int32_t axis);
/* SET 1104[a] := 1 if enable is non-zero, else 0. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerStopDetection(int32_t handle, int32_t axis, bool enable);
/* SET 1305[a] := 1 if enable is non-zero, else 0. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerSingleCircleMode(int32_t handle, int32_t axis, bool enable);
/* SET 1354[a] := mode, mode 0..2. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerAmplitudeControl(int32_t handle, int32_t axis, int32_t mode);
/* SET 1107[a] := 1 (stop every movement of the axis). */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerStopMoving(int32_t handle, int32_t axis);
/* SET 1037[a] := 0 (ends an absolute approach). */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerStopApproach(int32_t handle, int32_t axis);
/* SET 1024[a] := amplitude, 0..140000; on success also the value that
 * PositionerGetAmplitude reports until the controller answers anew. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerAmplitude(int32_t handle, int32_t axis, int32_t amplitude);
/* SET 1025[a] := frequency, 0..20000; cached like PositionerAmplitude. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerFrequency(int32_t handle, int32_t axis, int32_t frequency);
/* SET 1300[a] := level. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerDCLevel(int32_t handle, int32_t axis, int32_t level);
/* SET 1377[a] := the byte of enable. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerDcInEnable(int32_t handle, int32_t axis, bool enable);
/* SET 1378[a] := the byte of enable. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerAcInEnable(int32_t handle, int32_t axis, bool enable);
/* SET 1379[a] := the byte of enable. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerIntEnable(int32_t handle, int32_t axis, bool enable);
/* SET 1380[a] := input, 0..6. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerExternalStepFwdInput(int32_t handle, int32_t axis, int32_t input);
/* SET 1381[a] := edge, 0..1. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerExternalStepInputEdge(int32_t handle, int32_t axis, int32_t edge);
/* SET 1382[a] := input, 0..6. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerExternalStepBkwInput(int32_t handle, int32_t axis, int32_t input);
/* SET 1384[a] := the byte of enable. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerBandwidthLimitEnable(int32_t handle, int32_t axis, bool enable);
/* SET 1386[a] := the byte of sticky. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerSetStopDetectionSticky(int32_t handle, int32_t axis, bool sticky);
/* SET 1387[a] := 1. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerClearStopDetection(int32_t handle, int32_t axis);
/* SET 1105[a] := the byte of enable. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerSetTargetGround(int32_t handle, int32_t axis, bool enable);
/* SET 1395[a] := steps, 1..65535. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerStepCount(int32_t handle, int32_t axis, int32_t steps);

/* ---- Setters with another index ----------------------------------------- */

/* SET 1318[0] := amplitude, 0..2048. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerStaticAmplitude(int32_t handle, int32_t amplitude);
/* SET 1109[0] := value. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerMoveAbsoluteSync(int32_t handle, int32_t value);
/* SET 1330[trigger] := polarity; trigger 0..5, polarity 0..1. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerTriggerPolarity(int32_t handle, int32_t trigger, int32_t polarity);
/* SET 1331[trigger] := axis; trigger 0..5, axis 0..5. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerTriggerAxis(int32_t handle, int32_t trigger, int32_t axis);
/* SET 1332[trigger] := epsilon; trigger 0..5. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerTriggerEpsilon(int32_t handle, int32_t trigger, int32_t epsilon);
/* SET 1413[0] := mode, 0..2. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerTriggerModeIn(int32_t handle, int32_t mode);
/* SET 1414[0] := mode, 0..3. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerTriggerModeOut(int32_t handle, int32_t mode);
/* SET 1390[quadrature] := axis; quadrature 0..2, axis 0..5. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerQuadratureAxis(int32_t handle, int32_t quadrature, int32_t axis);
/* SET 1391[quadrature] := period; quadrature 0..2. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerQuadratureInputPeriod(int32_t handle, int32_t quadrature, int32_t period);
/* SET 1392[quadrature] := period; quadrature 0..2. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerQuadratureOutputPeriod(int32_t handle, int32_t quadrature, int32_t period);
/* SET 1366[0] := 1 if the byte of on is exactly 1, else 0. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerSensorPowerGroupA(int32_t handle, bool on);
/* SET 1367[0] := 1 if the byte of on is exactly 1, else 0. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerSensorPowerGroupB(int32_t handle, bool on);
/* SET 1416[0] := 1 if the byte of enable is exactly 1, else 0. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerDutyCycleEnable(int32_t handle, bool enable);
/* SET 1417[0] := period, 0..65535. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerDutyCyclePeriod(int32_t handle, int32_t period);
/* SET 1418[0] := time, 0..65535. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerDutyCycleOffTime(int32_t handle, int32_t time);

/* ---- Setters that send several telegrams -------------------------------- */

/* SET 1032[a] := position; if that failed, return its result; else
 * SET 1304[a] := rotationCount, then SET 1037[a] := 1 (start the approach).
 * Returns the result of the last SET sent. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerMoveAbsolute(int32_t handle, int32_t axis, int32_t position,
                                                    int32_t rotationCount);
/* SET 1032[a] := position; if that succeeded, SET 1304[a] := rotationCount.
 * Returns the result of the last SET sent. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerSetTargetPos(int32_t handle, int32_t axis, int32_t position,
                                                    int32_t rotationCount);
/* SET 1032[a] := distance; if that failed, return its result; else
 * SET 1304[a] := rotationCount, then SET 1048[a] := 1 (start the move).
 * Returns the result of the last SET sent. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerMoveRelative(int32_t handle, int32_t axis, int32_t distance,
                                                    int32_t rotationCount);
/* Direction 0: SET 1040[a] := 1 (one step backward); 1: SET 1041[a] := 1
 * (forward); any other direction: 6, nothing sent. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerMoveSingleStep(int32_t handle, int32_t axis, int32_t direction);
/* Direction 0: SET 1038[a] := 1 (backward); 1: SET 1039[a] := 1
 * (forward); any other direction: 6, nothing sent. Runs until
 * PositionerStopMoving. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerMoveContinuous(int32_t handle, int32_t axis, int32_t direction);
/* Trigger 0..5 (index = trigger): SET 1328 := lower; if that succeeded,
 * SET 1329 := upper. Returns the result of the last SET sent. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerTrigger(int32_t handle, int32_t trigger, int32_t lower, int32_t upper);

/* ---- Cached getters (no telegram; values 0 until the controller reports) */

/* Status word (register 1028) packed: result bit 0 = status bit 0, bit 1 =
 * bit 1, bit 2 = bit 8, bit 3 = bit 10; all other bits 0. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerGetStatus(int32_t handle, int32_t axis, int32_t* status);
/* Position (register 1045). */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerGetPosition(int32_t handle, int32_t axis, int32_t* position);
/* Rotation count (register 1302). */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerGetRotCount(int32_t handle, int32_t axis, int32_t* count);
/* Reference position (register 1031); valid = status word bit 11. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerGetReference(int32_t handle, int32_t axis, int32_t* position,
                                                    bool* valid);
/* Reference rotation count (register 1303). */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerGetReferenceRotCount(int32_t handle, int32_t axis, int32_t* count);
/* Speed (register 1346). */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerGetSpeed(int32_t handle, int32_t axis, int32_t* speed);
/* Step width (register 1353). */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerGetStepwidth(int32_t handle, int32_t axis, int32_t* width);

/* ---- Querying getters (GET, wait up to 10000 ms) ------------------------ */

/* GET 1024[a]. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerGetAmplitude(int32_t handle, int32_t axis, int32_t* amplitude);
/* GET 1025[a]. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerGetFrequency(int32_t handle, int32_t axis, int32_t* frequency);
/* GET 1300[a]; a DC level the controller reports by itself also answers. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerGetDcLevel(int32_t handle, int32_t axis, int32_t* level);
/* GET 1377[a]; true when the register holds exactly 1. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerGetDcInEnable(int32_t handle, int32_t axis, bool* enabled);
/* GET 1378[a]; true when the register holds exactly 1. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerGetAcInEnable(int32_t handle, int32_t axis, bool* enabled);
/* GET 1379[a]; true when the register holds exactly 1. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerGetIntEnable(int32_t handle, int32_t axis, bool* enabled);
/* GET 1384[a]; true when the register holds exactly 1. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerGetBandwidthLimitEnable(int32_t handle, int32_t axis, bool* enabled);
/* Starts a capacity measurement (SET 1310[a] := 1, its send result is not
 * examined) and waits up to 10000 ms for the result the controller reports
 * in register 1385. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerCapMeasure(int32_t handle, int32_t axis, int32_t* capacity);

/* ---- Addressing and trace control ----------------------------------------
 *
 * Scanning while handles are open. PositionerCheck may run while handles
 * are open, and other threads may go on using those handles meanwhile. A
 * caller may rely on this:
 *   - every open handle stays connected to the controller it was opened
 *     on; its receive thread, its cached values and its calls are not
 *     touched by the scan, and PositionerClose closes that controller;
 *   - device numbers (PositionerConnect, PositionerDeviceInfo) refer to the
 *     newest scan only; a number from an earlier scan may name another
 *     controller now, or none;
 *   - a controller held by an open handle is listed again, under a new
 *     device number. On USB, which admits one opener, that entry shows it
 *     unavailable (hardwareId 0) and PositionerConnect on that number
 *     answers RC_DEVICE_LOCKED (7) while the handle is open; over TCP the
 *     scan reads its type and id on a connection of its own, and
 *     PositionerConnect on that number opens a second connection;
 *   - handles from PositionerConnectAddress have no device number; no scan
 *     touches their connection;
 *   - tracing is not reset by a scan while a handle is open, nor ever after
 *     one of the trace functions below was called.
 * PositionerCheck must not overlap another PositionerCheck, nor
 * PositionerConnect, PositionerConnectAddress or PositionerDeviceInfo on
 * another thread. */

/* Carrier of a listed controller (PositionerDeviceDescription.carrier). */
#define POSITIONER_CARRIER_LIBUSB 1
#define POSITIONER_CARRIER_DRIVER 2
#define POSITIONER_CARRIER_TCP    3
/* How a network controller was found (PositionerDeviceDescription.discovery). */
#define POSITIONER_FOUND_USB     0 /* USB: not found by a network probe */
#define POSITIONER_FOUND_ADDP    1 /* the ADDP probe */
#define POSITIONER_FOUND_VELORIX 2 /* the "Velorix discovery" probe */

/* What PositionerDeviceInfo tells about one device number (128 bytes). */
typedef struct PositionerDeviceDescription {
    int32_t carrier;      /* POSITIONER_CARRIER_*                                */
    int32_t discovery;    /* POSITIONER_FOUND_*                                  */
    int32_t hardwareId;   /* id read by the last PositionerCheck; -1 if not read */
    char address[116];    /* NUL-terminated: dotted IPv4 (TCP), "bus/device"
                             (libusb), the driver's instance id (kernel driver);
                             empty when the driver cannot tell it             */
} PositionerDeviceDescription;

#ifdef __cplusplus
static_assert(sizeof(PositionerDeviceDescription) == 128, "PositionerDeviceDescription must be 128 bytes");
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
_Static_assert(sizeof(PositionerDeviceDescription) == 128, "PositionerDeviceDescription must be 128 bytes");
#endif

/* Describes device number `device` of the last scan in *info. Sends
 * nothing. Results: 0; 9 for a device number outside the last scan (also
 * before any scan); 6 for a null info (checked after the number). The same
 * controller found by both probes is listed under two numbers with the same
 * address. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerDeviceInfo(int32_t device, PositionerDeviceDescription* info);

/* Opens the controller at `address` (dotted IPv4 or host name; TCP port
 * 2101) without any scan and writes the new handle to *handle. The handle
 * behaves as one from PositionerConnect: the type is read, the receive
 * thread started, SET 325[0] := 1 sent, and PositionerClose closes it. It
 * may be opened while other handles are open; later scans do not touch it.
 * Sets up tracing as PositionerCheck does when no handle is open and the
 * trace functions below were not used. Results: 0; 6 for a null pointer
 * (nothing written); -1 when 99 handles are open (nothing written); 2 when
 * the name does not resolve to an IPv4 address, or the connection is
 * refused, fails or is not answered within 5000 ms (an error line names
 * the address); otherwise the type read's result (for example -1 when the
 * controller closes the connection instead of answering). On failure *handle receives -1. Each call makes a
 * connection of its own, also to an address that another handle has open. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerConnectAddress(const char* address, int32_t* handle);

/* Trace control for callers that cannot call the C++ trace functions.
 * The first call of any of them takes tracing over from PositionerCheck:
 * it starts from the set-up PositionerCheck makes (standard error, prefix
 * "Positioner", flags TraceMessages = 4) unless tracing is set up already,
 * and from then on PositionerCheck leaves tracing as the caller set it.
 * All return 0 unless stated otherwise. */
/* No line at all is written, error lines included. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerTraceOff(void);
/* Lines go to standard error (and tracing is on again after PositionerTraceOff). */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerTraceToStderr(void);
/* Lines go to the file `path` (truncated), and to the file only: error
 * lines are not repeated on standard output. 6 for a null path or a file
 * that cannot be opened (tracing is then left as it was). */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerTraceToFile(const char* path);
/* Sets the flag bits of trace.h (TraceFlags; for example 4 trace lines,
 * 0x20 received telegrams). Error lines are written whatever the flags. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerTraceFlags(int32_t flags);
/* Sets the text in front of every line (at most 30 characters are kept, a
 * blank is added); null or "" for none. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerTracePrefix(const char* prefix);

#ifdef __cplusplus
}
#endif

#endif
