// Commands that move or stop an axis. A move is watched with a progress
// line until it has ended, on Ctrl-C (whose halt goes out at once from the
// thread that takes the signal, see interrupts.h) or at the time-out (which
// halts the axis too).
//
// When a move has ended is one rule, the same as the Python package's
// (python/dravex/_motion.py): the move has arrived when the axis stands at
// its target, or, once the reports are fresh (--settle ms after the
// command), stands with the target-reached flag; it failed at the end of
// travel, or when the axis came to rest elsewhere (someone else stopped
// it), or at the time-out.
#include <chrono>
#include <cstdio>
#include <functional>

#include "axis_state.h"
#include "commands.h"
#include "exit_codes.h"
#include "interrupts.h"
#include "ithreads.h"
#include "output.h"
#include "positioner.h"
#include "results.h"
#include "session.h"

namespace {

constexpr int kSampleMs = 50;

struct Sample {
    int32_t position = 0, status = 0;
    bool referenceValid = false;
};

enum class Outcome { Running, Done, Failed };

// Decides from a sample and the time since the command whether the move
// has ended; a Failed outcome has printed its message.
using Judge = std::function<Outcome(const Sample&, long long elapsedMs)>;

long long msSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
}

bool stopAxis(const Session& s, int32_t axis) {
    // Ends the approach (which would go on regulating), then stops.
    return reportResult(PositionerHalt(s.handle(), axis), "halt axis %d", axis);
}

bool sample(const Session& s, int32_t axis, Sample* now) {
    int32_t reference = 0;
    return reportResult(PositionerGetPosition(s.handle(), axis, &now->position), "read the position of axis %d",
                        axis) &&
           reportResult(PositionerGetStatus(s.handle(), axis, &now->status), "read the status of axis %d",
                        axis) &&
           reportResult(PositionerGetReference(s.handle(), axis, &reference, &now->referenceValid),
                        "read the reference of axis %d", axis);
}

std::string describe(int32_t axis, const Sample& now) {
    char text[128];
    std::snprintf(text, sizeof text, "axis %d  position %11d  %s", axis, now.position,
                  statusText(now.status).c_str());
    return text;
}

int watch(const Session& s, int32_t axis, const Judge& judge) {
    Progress progress(s.settings().quiet);
    const auto t0 = std::chrono::steady_clock::now();
    const long long limitMs = 1000LL * s.settings().timeoutS;
    for (;;) {
        Sample now;
        if (!sample(s, axis, &now)) {
            progress.finish();
            return kExitFailed;
        }
        const long long elapsed = msSince(t0);
        progress.show(describe(axis, now));
        if (InterruptHalt::interrupted()) {
            progress.finish();
            complain("axis %d stopped at position %d", axis, now.position);
            return kExitInterrupted;
        }
        const Outcome outcome = judge(now, elapsed);
        if (outcome == Outcome::Done) {
            progress.conclude(describe(axis, now));
            return kExitOk;
        }
        if (outcome == Outcome::Failed) {
            progress.finish();
            return kExitFailed;
        }
        if (elapsed > limitMs) {
            progress.finish();
            stopAxis(s, axis);
            complain(
                "axis %d: the move did not end within %d s, so the axis was stopped at position %d; "
                "raise --timeout for longer moves",
                axis, s.settings().timeoutS, now.position);
            return kExitFailed;
        }
        IThread::sleep(kSampleMs);
    }
}

// The rule of the file comment for a move to `target`; the time-out is
// watch()'s. A failure prints its message and halts the axis.
Judge untilTarget(const Session& s, int32_t axis, int64_t target) {
    const long long settleMs = s.settings().settleMs;
    return [&s, settleMs, axis, target](const Sample& now, long long elapsed) {
        const bool standing = !(now.status & POSITIONER_STATUS_MOVING);
        if (standing && now.position == target) return Outcome::Done;
        if (elapsed < settleMs) return Outcome::Running;
        if (standing && (now.status & POSITIONER_STATUS_TARGET_REACHED)) return Outcome::Done;
        if (now.status & POSITIONER_STATUS_END_OF_TRAVEL) {
            stopAxis(s, axis);
            complain("axis %d stopped at the end of travel (position %d) before the target", axis,
                     now.position);
            return Outcome::Failed;
        }
        if (!standing) return Outcome::Running;
        stopAxis(s, axis);
        complain(
            "axis %d was stopped before its target (position %d, target %lld); another program or the "
            "controller stopped it",
            axis, now.position, static_cast<long long>(target));
        return Outcome::Failed;
    };
}

}  // namespace

int commandMoveAbsolute(Invocation& call) {
    const Session& s = *call.session;
    const int32_t axis = call.args.number(0), position = call.args.number(1);
    if (!reportResult(PositionerMoveAbsolute(s.handle(), axis, position, call.args.number(2)),
                      "start the absolute move of axis %d", axis))
        return kExitFailed;
    return watch(s, axis, untilTarget(s, axis, position));
}

int commandMoveRelative(Invocation& call) {
    const Session& s = *call.session;
    const int32_t axis = call.args.number(0), distance = call.args.number(1);
    int32_t from = 0;
    if (!reportResult(PositionerGetPosition(s.handle(), axis, &from), "read the position of axis %d", axis) ||
        !reportResult(PositionerMoveRelative(s.handle(), axis, distance, call.args.number(2)),
                      "start the relative move of axis %d", axis))
        return kExitFailed;
    return watch(s, axis, untilTarget(s, axis, static_cast<int64_t>(from) + distance));
}

int commandMoveContinuous(Invocation& call) {
    const Session& s = *call.session;
    const int32_t axis = call.args.number(0), direction = call.args.number(1);
    if (!reportResult(PositionerMoveContinuous(s.handle(), axis, direction),
                      "start the continuous move of axis %d", axis))
        return kExitFailed;
    // Runs until Ctrl-C, the end of travel, or the given seconds.
    const long long runMs = 1000LL * call.args.number(2);
    const long long settleMs = s.settings().settleMs;
    bool stopped = false;
    long long stoppedAt = 0;
    return watch(s, axis, [&](const Sample& now, long long elapsed) {
        if (!stopped && ((runMs > 0 && elapsed >= runMs) ||
                         (elapsed >= settleMs && (now.status & POSITIONER_STATUS_END_OF_TRAVEL)))) {
            if (!stopAxis(s, axis)) return Outcome::Failed;
            stopped = true;
            stoppedAt = elapsed;
        }
        // After the stop, wait for the reports to show the axis at rest.
        if (stopped && elapsed - stoppedAt >= settleMs && !(now.status & POSITIONER_STATUS_MOVING))
            return Outcome::Done;
        return Outcome::Running;
    });
}

int commandReference(Invocation& call) {
    const Session& s = *call.session;
    const int32_t axis = call.args.number(0);
    if (!reportResult(PositionerMoveReference(s.handle(), axis), "start the reference move of axis %d", axis))
        return kExitFailed;
    const long long settleMs = s.settings().settleMs;
    const int code = watch(s, axis, [settleMs, axis](const Sample& now, long long elapsed) {
        if (elapsed < settleMs || (now.status & POSITIONER_STATUS_MOVING)) return Outcome::Running;
        if (now.referenceValid) return Outcome::Done;
        if (now.status & POSITIONER_STATUS_END_OF_TRAVEL) {
            complain("axis %d reached the end of travel (position %d) without finding the reference mark", axis,
                     now.position);
            return Outcome::Failed;
        }
        return Outcome::Running;
    });
    if (code != kExitOk) return code;
    int32_t reference = 0;
    bool valid = false;
    if (!reportResult(PositionerGetReference(s.handle(), axis, &reference, &valid),
                      "read the reference of axis %d", axis))
        return kExitFailed;
    std::printf("axis %d: reference position %d\n", axis, reference);
    return kExitOk;
}

int commandStep(Invocation& call) {
    const Session& s = *call.session;
    const int32_t axis = call.args.number(0), direction = call.args.number(1), count = call.args.number(2);
    for (int32_t i = 0; i < count; ++i) {
        if (!reportResult(PositionerMoveSingleStep(s.handle(), axis, direction), "make step %d of axis %d",
                          i + 1, axis))
            return kExitFailed;
    }
    IThread::sleep(static_cast<unsigned long>(s.settings().settleMs));
    int32_t position = 0;
    if (!reportResult(PositionerGetPosition(s.handle(), axis, &position), "read the position of axis %d", axis))
        return kExitFailed;
    std::printf("axis %d: %d step%s %s, position %d\n", axis, count, count == 1 ? "" : "s",
                direction ? "forward" : "backward", position);
    return kExitOk;
}

int commandStop(Invocation& call) {
    const Session& s = *call.session;
    const int32_t only = call.args.number(0);
    if (only >= 0 ? !stopAxis(s, only) : !reportResult(PositionerHaltAll(s.handle()), "halt every axis"))
        return kExitFailed;
    if (only >= 0) {
        std::printf("axis %d stopped\n", only);
    } else {
        std::printf("all axes stopped\n");
    }
    return kExitOk;
}
