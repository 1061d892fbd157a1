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
 *   - Calls on one handle may come from several threads at once (see
 *     "Threads" below); different handles may be used from different
 *     threads.
 *
 * Threads. Any function may be called on a handle from any thread, also
 * while other threads are inside calls on the same handle:
 *   - A setter (every function that only sends SET telegrams, the stops and
 *     PositionerHalt among them) never waits for a querying getter: the
 *     handle's request buffer is held only while a function builds and
 *     sends its telegrams, never across a wait. The telegrams of one
 *     function go out together; another thread's telegrams come before or
 *     after them, not in between.
 *   - Querying getters that read the same register of the same axis wait
 *     one after the other: the second sends its GET once the first has its
 *     reply or its time-out, and gives up with RC_TIMEOUT (1) when its turn
 *     does not come within 10000 ms. All other querying getters, and
 *     PositionerWaitReport, wait side by side.
 *   - Cached getters take no lock.
 *   - PositionerClose while other threads are inside calls on the same
 *     handle: those calls return at once (RC_NOT_CONNECTED (2), or their
 *     own result when they were done), and the handle's resources are
 *     released only after the last of them has returned. A second
 *     PositionerClose of the same handle meanwhile returns -1. When the
 *     connection is lost, waiting getters return RC_NOT_CONNECTED at once.
 *   - PositionerConnect on a number that another thread may still use:
 *     calls with a handle number that is being opened return
 *     RC_NOT_CONNECTED until PositionerConnect has returned it.
 *
 * Each comment below says first what a function does to the axis and what
 * its values mean, then the telegrams it sends: "SET r (0xR)[i] := v" is a
 * SET of register r with index i and value v; "a" is the axis. Registers
 * are numbered in decimal with the hexadecimal form in brackets, the form
 * that telegram trace lines print ("Addr=400" is register 1024). Units,
 * modes and scales are the controller's own; the library passes values
 * through unchanged. */
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

/* ---- Status flags ------------------------------------------------------- */

/* Flags of the value PositionerGetStatus reports for an axis. The
 * controller reports them in its status word (register 1028, 0x404), at the
 * bit positions given in brackets; PositionerGetStatus packs them into the
 * four low bits. */
/* clang-format off */
#define POSITIONER_STATUS_MOVING          0x1 /* the axis is moving (status word bit 0, 0x001) */
#define POSITIONER_STATUS_TARGET_REACHED  0x2 /* the last absolute or relative move arrived at its target (bit 1, 0x002) */
#define POSITIONER_STATUS_END_OF_TRAVEL   0x4 /* the axis stands at an end of its travel range (bit 8, 0x100) */
#define POSITIONER_STATUS_APPROACH_ACTIVE 0x8 /* an absolute approach (PositionerMoveAbsolute) is on (bit 10, 0x400) */
/* clang-format on */

/* ---- Lifecycle ---------------------------------------------------------- */

/* Finds the controllers: scans every carrier (USB through libusb, the USB
 * kernel driver, then the two network discovery probes), then opens each
 * device found, reads its type and hardware id and closes it again.
 * Stores in *devices the address of an array with one element per device
 * number and returns the number of elements (0 when the scan failed; the
 * address is stored then too). A network controller that answers both
 * probes is listed twice. The array belongs to the library: do not free
 * it; it stays valid until the next PositionerCheck, which reuses it.
 * Also resets tracing to standard error with the prefix "Positioner",
 * unless a handle is open (tracing is then left as it is).
 * Handles that are open keep working on the controller they were opened
 * for; device numbers refer to the newest scan.
 * Telegrams: GET 359 (0x167) and GET 360 (0x168) on each device found. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerCheck(DetectedDevice** devices);

/* Opens device number `device` of the last scan and writes the new handle
 * (the lowest free of 1..99) to *handle. From then on a receive thread of
 * the handle applies every position, status and value the controller
 * reports. Results: 0; -1 when 99 handles are open (nothing written); 9
 * for a device number outside the last scan; RC_DEVICE_LOCKED (7) when
 * another handle already holds that device; otherwise the open's result.
 * On failure *handle receives -1.
 * Telegrams: GET 359 (0x167), then SET 325 (0x145)[0] := 1. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerConnect(int32_t device, int32_t* handle);

/* Closes the handle: stops its receive thread (waits up to one receive
 * time-out of the carrier, 500 ms over TCP), closes the connection and
 * frees the handle number. The axes keep doing what they do. Returns the
 * close's result, -1 for a handle that is not allocated. Also frees a
 * handle whose connection was lost. Sends nothing. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerClose(int32_t handle);

/* Gives the controller a new hardware id, the number PositionerCheck then
 * reports for it. Returns the second send's result.
 * Telegrams: SET 362 (0x16A)[0] := id, then (whatever its result)
 * SET 367 (0x16F)[0] := 0x5A3C, which makes the controller store the id. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerSetHardwareId(int32_t handle, int32_t id);

/* Configures axis `axis` from an axis configuration file: each known
 * parameter of the file is sent to the axis. The file holds pairs of a
 * keyword and a signed decimal 32-bit value, separated by any white space.
 * Unknown keywords (and tokens longer than 103 characters) are skipped
 * with their value; a pair whose value is not a decimal 32-bit integer is
 * skipped; a keyword without a value at the end is dropped. Failed sends
 * are ignored. Results: 0 once the file is read; 6 for an axis outside
 * 0..5, a null name or a file that cannot be opened.
 * Telegrams: one SET of the keyword's register [a] := value per pair, in
 * file order (for example "frequ" is register 1025 (0x401)). */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerLoad(int32_t handle, int32_t axis, const char* fileName);

/* ---- Setters of one axis (index = axis) --------------------------------- */

/* Switches the drive output of the axis on (true) or off (false).
 * Telegram: SET 1095 (0x447)[a] := the byte of enable. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerSetOutput(int32_t handle, int32_t axis, bool enable);
/* Sets the position counter of the axis to 0 where the axis stands; the
 * axis does not move.
 * Telegram: SET 1103 (0x44F)[a] := 1. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerResetPosition(int32_t handle, int32_t axis);
/* Sets the target position of the axis without starting a move.
 * Telegram: SET 1032 (0x408)[a] := position. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerUpdateAbsolute(int32_t handle, int32_t axis, int32_t position);
/* Moves the axis to its reference mark; once there the controller reports
 * the reference position as valid (see PositionerGetReference).
 * Telegram: SET 1092 (0x444)[a] := 1. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerMoveReference(int32_t handle, int32_t axis);
/* Switches the stop detection of the axis on (any non-zero byte) or off.
 * Telegram: SET 1104 (0x450)[a] := 1 if enable is non-zero, else 0. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerStopDetection(int32_t handle, int32_t axis, bool enable);
/* Switches the single-circle mode of a rotary axis on (any non-zero byte)
 * or off.
 * Telegram: SET 1305 (0x519)[a] := 1 if enable is non-zero, else 0. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerSingleCircleMode(int32_t handle, int32_t axis, bool enable);
/* Selects how the controller regulates the drive amplitude of the axis:
 * mode 0..2, as the controller defines them.
 * Telegram: SET 1354 (0x54A)[a] := mode. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerAmplitudeControl(int32_t handle, int32_t axis, int32_t mode);
/* Stops every movement of the axis (steps, continuous and target moves).
 * Telegram: SET 1107 (0x453)[a] := 1. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerStopMoving(int32_t handle, int32_t axis);
/* Ends the absolute approach of the axis that PositionerMoveAbsolute
 * started (status flag POSITIONER_STATUS_APPROACH_ACTIVE goes off).
 * Telegram: SET 1037 (0x40D)[a] := 0. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerStopApproach(int32_t handle, int32_t axis);
/* Sets the amplitude of the drive signal of the axis, 0..140000 in the
 * controller's units. On success it is also the value that
 * PositionerGetAmplitude reports until the controller answers anew.
 * Telegram: SET 1024 (0x400)[a] := amplitude. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerAmplitude(int32_t handle, int32_t axis, int32_t amplitude);
/* Sets the frequency of the drive signal of the axis, 0..20000 in the
 * controller's units; kept for PositionerGetFrequency like
 * PositionerAmplitude.
 * Telegram: SET 1025 (0x401)[a] := frequency. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerFrequency(int32_t handle, int32_t axis, int32_t frequency);
/* Sets the DC level of the axis's drive output, in the controller's units.
 * Telegram: SET 1300 (0x514)[a] := level. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerDCLevel(int32_t handle, int32_t axis, int32_t level);
/* Switches the axis's DC input on (true) or off.
 * Telegram: SET 1377 (0x561)[a] := the byte of enable. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerDcInEnable(int32_t handle, int32_t axis, bool enable);
/* Switches the axis's AC input on (true) or off.
 * Telegram: SET 1378 (0x562)[a] := the byte of enable. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerAcInEnable(int32_t handle, int32_t axis, bool enable);
/* Switches the axis's internal (INT) signal input on (true) or off.
 * Telegram: SET 1379 (0x563)[a] := the byte of enable. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerIntEnable(int32_t handle, int32_t axis, bool enable);
/* Chooses the external input, 0..6, whose steps move the axis forward.
 * Telegram: SET 1380 (0x564)[a] := input. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerExternalStepFwdInput(int32_t handle, int32_t axis, int32_t input);
/* Chooses the edge of the external step inputs that makes a step, 0 or 1
 * as the controller defines them.
 * Telegram: SET 1381 (0x565)[a] := edge. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerExternalStepInputEdge(int32_t handle, int32_t axis, int32_t edge);
/* Chooses the external input, 0..6, whose steps move the axis backward.
 * Telegram: SET 1382 (0x566)[a] := input. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerExternalStepBkwInput(int32_t handle, int32_t axis, int32_t input);
/* Switches the bandwidth limit of the axis on (true) or off.
 * Telegram: SET 1384 (0x568)[a] := the byte of enable. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerBandwidthLimitEnable(int32_t handle, int32_t axis, bool enable);
/* Makes a detected stop of the axis stay reported until
 * PositionerClearStopDetection (true), or not (false).
 * Telegram: SET 1386 (0x56A)[a] := the byte of sticky. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerSetStopDetectionSticky(int32_t handle, int32_t axis, bool sticky);
/* Clears a detected stop of the axis.
 * Telegram: SET 1387 (0x56B)[a] := 1. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerClearStopDetection(int32_t handle, int32_t axis);
/* Switches the target-ground setting of the axis on (true) or off: whether
 * the controller grounds the axis's output at the target is its own rule.
 * Telegram: SET 1105 (0x451)[a] := the byte of enable. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerSetTargetGround(int32_t handle, int32_t axis, bool enable);
/* Sets the step count of the axis, 1..65535.
 * Telegram: SET 1395 (0x573)[a] := steps. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerStepCount(int32_t handle, int32_t axis, int32_t steps);

/* ---- Setters with another index ----------------------------------------- */

/* Sets the static amplitude, 0..2048, for the whole controller.
 * Telegram: SET 1318 (0x526)[0] := amplitude. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerStaticAmplitude(int32_t handle, int32_t amplitude);
/* Synchronised absolute moves; what value selects is the controller's
 * definition.
 * Telegram: SET 1109 (0x455)[0] := value. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerMoveAbsoluteSync(int32_t handle, int32_t value);
/* Sets the polarity (0 or 1) of trigger 0..5.
 * Telegram: SET 1330 (0x532)[trigger] := polarity. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerTriggerPolarity(int32_t handle, int32_t trigger,
                                                              int32_t polarity);
/* Chooses the axis 0..5 whose position trigger 0..5 watches.
 * Telegram: SET 1331 (0x533)[trigger] := axis. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerTriggerAxis(int32_t handle, int32_t trigger, int32_t axis);
/* Sets the tolerance (epsilon, in position units) of trigger 0..5.
 * Telegram: SET 1332 (0x534)[trigger] := epsilon. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerTriggerEpsilon(int32_t handle, int32_t trigger, int32_t epsilon);
/* Selects the mode, 0..2, of the trigger input.
 * Telegram: SET 1413 (0x585)[0] := mode. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerTriggerModeIn(int32_t handle, int32_t mode);
/* Selects the mode, 0..3, of the trigger output.
 * Telegram: SET 1414 (0x586)[0] := mode. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerTriggerModeOut(int32_t handle, int32_t mode);
/* Chooses the axis 0..5 that quadrature channel 0..2 belongs to.
 * Telegram: SET 1390 (0x56E)[quadrature] := axis. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerQuadratureAxis(int32_t handle, int32_t quadrature, int32_t axis);
/* Sets the input period of quadrature channel 0..2.
 * Telegram: SET 1391 (0x56F)[quadrature] := period. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerQuadratureInputPeriod(int32_t handle, int32_t quadrature,
                                                                    int32_t period);
/* Sets the output period of quadrature channel 0..2.
 * Telegram: SET 1392 (0x570)[quadrature] := period. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerQuadratureOutputPeriod(int32_t handle, int32_t quadrature,
                                                                     int32_t period);
/* Switches the power of sensor group A on (a byte of exactly 1) or off.
 * Telegram: SET 1366 (0x556)[0] := 1 if the byte of on is exactly 1, else 0. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerSensorPowerGroupA(int32_t handle, bool on);
/* Switches the power of sensor group B on (a byte of exactly 1) or off.
 * Telegram: SET 1367 (0x557)[0] := 1 if the byte of on is exactly 1, else 0. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerSensorPowerGroupB(int32_t handle, bool on);
/* Switches duty-cycle operation on (a byte of exactly 1) or off.
 * Telegram: SET 1416 (0x588)[0] := 1 if the byte of enable is exactly 1, else 0. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerDutyCycleEnable(int32_t handle, bool enable);
/* Sets the period of duty-cycle operation, 0..65535.
 * Telegram: SET 1417 (0x589)[0] := period. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerDutyCyclePeriod(int32_t handle, int32_t period);
/* Sets the off time within a duty-cycle period, 0..65535.
 * Telegram: SET 1418 (0x58A)[0] := time. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerDutyCycleOffTime(int32_t handle, int32_t time);

/* ---- Setters that send several telegrams -------------------------------- */

/* Moves the axis to `position` (a rotary axis: after `rotationCount`
 * rotations) and keeps it there: starts an absolute approach, during which
 * the status shows POSITIONER_STATUS_APPROACH_ACTIVE, and
 * POSITIONER_STATUS_TARGET_REACHED once the axis arrived.
 * PositionerStopApproach ends it. Returns the result of the last SET sent.
 * Telegrams: SET 1032 (0x408)[a] := position; if that failed, return its
 * result; else SET 1304 (0x518)[a] := rotationCount, then
 * SET 1037 (0x40D)[a] := 1. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerMoveAbsolute(int32_t handle, int32_t axis, int32_t position,
                                                           int32_t rotationCount);
/* Sets the target of the axis (position and rotation count) without
 * starting a move. Returns the result of the last SET sent.
 * Telegrams: SET 1032 (0x408)[a] := position; if that succeeded,
 * SET 1304 (0x518)[a] := rotationCount. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerSetTargetPos(int32_t handle, int32_t axis, int32_t position,
                                                           int32_t rotationCount);
/* Moves the axis by `distance` from where it stands (and `rotationCount`
 * rotations of a rotary axis). Returns the result of the last SET sent.
 * Telegrams: SET 1032 (0x408)[a] := distance; if that failed, return its
 * result; else SET 1304 (0x518)[a] := rotationCount, then
 * SET 1048 (0x418)[a] := 1. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerMoveRelative(int32_t handle, int32_t axis, int32_t distance,
                                                           int32_t rotationCount);
/* Makes the axis do a single step: direction 1 forward, 0 backward; any
 * other direction: 6, nothing sent.
 * Telegram: direction 0: SET 1040 (0x410)[a] := 1; 1: SET 1041 (0x411)[a] := 1. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerMoveSingleStep(int32_t handle, int32_t axis, int32_t direction);
/* Moves the axis continuously until PositionerStopMoving or the end of its
 * travel: direction 1 forward, 0 backward; any other direction: 6, nothing
 * sent.
 * Telegram: direction 0: SET 1038 (0x40E)[a] := 1; 1: SET 1039 (0x40F)[a] := 1. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerMoveContinuous(int32_t handle, int32_t axis, int32_t direction);
/* Sets the lower and upper position bounds of trigger 0..5. Returns the
 * result of the last SET sent.
 * Telegrams (index = trigger): SET 1328 (0x530) := lower; if that
 * succeeded, SET 1329 (0x531) := upper. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerTrigger(int32_t handle, int32_t trigger, int32_t lower,
                                                      int32_t upper);

/* ---- Cached getters (no telegram; values 0 until the controller reports) */

/* The status flags of the axis as last reported: POSITIONER_STATUS_MOVING,
 * _TARGET_REACHED, _END_OF_TRAVEL, _APPROACH_ACTIVE; all other bits 0.
 * Reported by the controller in register 1028 (0x404), the status word;
 * result bit 0 = status word bit 0, bit 1 = bit 1, bit 2 = bit 8, bit 3 =
 * bit 10. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerGetStatus(int32_t handle, int32_t axis, int32_t* status);
/* The position of the axis as last reported, in the controller's units.
 * Reported in register 1045 (0x415). */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerGetPosition(int32_t handle, int32_t axis, int32_t* position);
/* The rotation count of a rotary axis as last reported.
 * Reported in register 1302 (0x516). */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerGetRotCount(int32_t handle, int32_t axis, int32_t* count);
/* The position of the axis's reference mark and whether it is valid (the
 * axis has found the mark, see PositionerMoveReference).
 * Reported in register 1031 (0x407); valid = status word bit 11 (0x800). */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerGetReference(int32_t handle, int32_t axis, int32_t* position,
                                                           bool* valid);
/* The rotation count at the reference mark of a rotary axis.
 * Reported in register 1303 (0x517). */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerGetReferenceRotCount(int32_t handle, int32_t axis,
                                                                   int32_t* count);
/* The speed of the axis as last reported (signed, 0 at rest), in the
 * controller's units. Reported in register 1346 (0x542). */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerGetSpeed(int32_t handle, int32_t axis, int32_t* speed);
/* The width of one step of the axis as last reported.
 * Reported in register 1353 (0x549). */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerGetStepwidth(int32_t handle, int32_t axis, int32_t* width);

/* ---- Querying getters (GET, wait up to 10000 ms) ------------------------ */

/* The drive amplitude of the axis, read from the controller.
 * Telegram: GET 1024 (0x400)[a]. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerGetAmplitude(int32_t handle, int32_t axis, int32_t* amplitude);
/* The drive frequency of the axis, read from the controller.
 * Telegram: GET 1025 (0x401)[a]. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerGetFrequency(int32_t handle, int32_t axis, int32_t* frequency);
/* The DC level of the axis, read from the controller; a DC level the
 * controller reports by itself also answers.
 * Telegram: GET 1300 (0x514)[a]. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerGetDcLevel(int32_t handle, int32_t axis, int32_t* level);
/* Whether the axis's DC input is on (the register holds exactly 1).
 * Telegram: GET 1377 (0x561)[a]. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerGetDcInEnable(int32_t handle, int32_t axis, bool* enabled);
/* Whether the axis's AC input is on (the register holds exactly 1).
 * Telegram: GET 1378 (0x562)[a]. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerGetAcInEnable(int32_t handle, int32_t axis, bool* enabled);
/* Whether the axis's internal (INT) signal input is on (the register
 * holds exactly 1).
 * Telegram: GET 1379 (0x563)[a]. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerGetIntEnable(int32_t handle, int32_t axis, bool* enabled);
/* Whether the bandwidth limit of the axis is on (the register holds
 * exactly 1).
 * Telegram: GET 1384 (0x568)[a]. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerGetBandwidthLimitEnable(int32_t handle, int32_t axis,
                                                                      bool* enabled);
/* Measures the capacity of the axis's actuator and waits up to 10000 ms
 * for the result, in the controller's units.
 * Telegrams: SET 1310 (0x51E)[a] := 1 starts the measurement (its send
 * result is not examined); the controller reports the result in register
 * 1385 (0x569). */
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
    int32_t carrier;    /* POSITIONER_CARRIER_*                                */
    int32_t discovery;  /* POSITIONER_FOUND_*                                  */
    int32_t hardwareId; /* id read by the last PositionerCheck; -1 if not read */
    char address[116];  /* NUL-terminated: dotted IPv4 (TCP), "bus/device"
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

/* ---- Halting, report waits, result texts -------------------------------- */

/* Halts the axis: ends its absolute approach, so that the controller does
 * not drive it back to the target, and stops every movement. Call it from
 * any thread: it never waits for a querying getter (see "Threads"). Both
 * telegrams are sent, one right after the other, whatever the first one's
 * result; returns the first failure, else 0.
 * Telegrams: SET 1037 (0x40D)[a] := 0, then SET 1107 (0x453)[a] := 1. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerHalt(int32_t handle, int32_t axis);
/* Halts all six axes as PositionerHalt does, axis 0 first; every telegram
 * is sent before it returns, with no other telegram of the handle in
 * between. Returns the first failure, else 0.
 * Telegrams: for a = 0..5: SET 1037 (0x40D)[a] := 0, SET 1107 (0x453)[a] := 1. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerHaltAll(int32_t handle);
/* Waits for a report: returns 0 as soon as the receive thread has applied
 * a TELL or ACK that changed a cached value of some axis (position,
 * status, speed, reference, rotation count, a value a querying getter
 * read, ...; the first report of a value after the connect counts as a
 * change) after *sequence. It then writes the newest sequence number to
 * *sequence and to *changedAxes a bit per axis (bit a for axis a) that
 * changed after the old *sequence. Start with *sequence = 0 to learn of
 * every change since the connect (numbering starts anew at every
 * connect); a number from an earlier connection returns at once with the
 * newest number and no axis bits.
 * Returns 1 after timeoutMs (0 or more; 0 only tests) without a change;
 * 2 at once when the handle is not connected, its connection ends or it is
 * closed meanwhile; 6 for a null pointer or a negative timeoutMs.
 * Several threads may wait on one handle, each with its own sequence
 * number: each sees every change, and none is missed between two calls.
 * A waiter is woken as soon as the telegram is applied and uses no CPU
 * while it waits. Sends nothing. */
UC_EXPORT_BY_DEF int32_t UC_STDCALL PositionerWaitReport(int32_t handle, uint32_t* sequence, int32_t timeoutMs,
                                                         int32_t* changedAxes);
/* A fixed sentence for the result code: what failed and what to do (for
 * example for 1: "The controller did not answer in time; check that it is
 * switched on and connected, then try again."). Never null; the text is
 * static and must not be freed. Unknown codes get a sentence of their own. */
UC_EXPORT_BY_DEF const char* UC_STDCALL PositionerResultText(int32_t code);

#ifdef __cplusplus
}
#endif

#endif
