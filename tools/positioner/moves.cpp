// Commands that move or stop an axis. A move is watched with a progress
// line until it has ended, on Ctrl-C (which stops the axis) or at the
// time-out (which stops it too).
#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>

#include "axis_state.h"
#include "commands.h"
#include "exit_codes.h"
#include "ithreads.h"
#include "output.h"
#include "positioner.h"
#include "results.h"
#include "session.h"

namespace {

constexpr int kSampleMs = 50;
constexpr int32_t kAxisCount = 6;

volatile std::sig_atomic_t interrupted = 0;
void onInterrupt(int) { interrupted = 1; }

// Ctrl-C (and SIGTERM) set a flag while a move is watched.
class InterruptCatcher {
public:
    InterruptCatcher() {
        struct sigaction action = {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &oldInt_);
        sigaction(SIGTERM, &action, &oldTerm_);
    }
    ~InterruptCatcher() {
        sigaction(SIGINT, &oldInt_, nullptr);
        sigaction(SIGTERM, &oldTerm_, nullptr);
    }

private:
    struct sigaction oldInt_ = {}, oldTerm_ = {};
};

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
    // An absolute approach would go on regulating: end it, then stop.
    return reportResult(PositionerStopApproach(s.handle(), axis), "end the approach of axis %d", axis) &&
           reportResult(PositionerStopMoving(s.handle(), axis), "stop axis %d", axis);
}

bool sample(const Session& s, int32_t axis, Sample* now) {
    int32_t reference = 0;
    return reportResult(PositionerGetPosition(s.handle(), axis, &now->position), "read the position of axis %d",
                        axis) &&
           reportResult(PositionerGetStatus(s.handle(), axis, &now->status), "read the status of axis %d", axis) &&
           reportResult(PositionerGetReference(s.handle(), axis, &reference, &now->referenceValid),
                        "read the reference of axis %d", axis);
}

std::string describe(int32_t axis, const Sample& now) {
    char text[128];
    std::snprintf(text, sizeof text, "axis %d  position %11d  %s", axis, now.position, statusText(now.status).c_str());
    return text;
}

int watch(const Session& s, int32_t axis, const Judge& judge) {
    InterruptCatcher catcher;
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
        if (interrupted) {
            progress.finish();
            stopAxis(s, axis);
            complain("interrupted: axis %d stopped at position %d", axis, now.position);
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
            complain("axis %d: the move did not end within %d s, so the axis was stopped at position %d; "
                     "raise --timeout for longer moves",
                     axis, s.settings().timeoutS, now.position);
            return kExitFailed;
        }
        IThread::sleep(kSampleMs);
    }
}

// A move to a target has ended when, after the reports from before the
// command are out of date, the axis stands with the target reached.
Judge untilTarget(const Session& s, int32_t axis) {
    const long long settleMs = s.settings().settleMs;
    return [settleMs, axis](const Sample& now, long long elapsed) {
        if (elapsed < settleMs || (now.status & POSITIONER_STATUS_MOVING)) return Outcome::Running;
        if (now.status & POSITIONER_STATUS_TARGET_REACHED) return Outcome::Done;
        if (now.status & POSITIONER_STATUS_END_OF_TRAVEL) {
            complain("axis %d stopped at the end of travel (position %d) before the target", axis, now.position);
            return Outcome::Failed;
        }
        return Outcome::Running;
    };
}

using TargetMove = int32_t(UC_STDCALL*)(int32_t, int32_t, int32_t, int32_t);

int moveToTarget(Invocation& call, const char* what, TargetMove move) {
    const Session& s = *call.session;
    const int32_t axis = call.args.number(0);
    if (!reportResult(move(s.handle(), axis, call.args.number(1), call.args.number(2)), "start the %s of axis %d",
                      what, axis))
        return kExitFailed;
    return watch(s, axis, untilTarget(s, axis));
}

}  // namespace

int commandMoveAbsolute(Invocation& call) { return moveToTarget(call, "absolute move", PositionerMoveAbsolute); }

int commandMoveRelative(Invocation& call) { return moveToTarget(call, "relative move", PositionerMoveRelative); }

int commandMoveContinuous(Invocation& call) {
    const Session& s = *call.session;
    const int32_t axis = call.args.number(0), direction = call.args.number(1);
    if (!reportResult(PositionerMoveContinuous(s.handle(), axis, direction), "start the continuous move of axis %d",
                      axis))
        return kExitFailed;
    // Runs until Ctrl-C, the end of travel, or the given seconds.
    const long long runMs = 1000LL * call.args.number(2);
    const long long settleMs = s.settings().settleMs;
    bool stopped = false;
    long long stoppedAt = 0;
    return watch(s, axis, [&](const Sample& now, long long elapsed) {
        if (!stopped &&
            ((runMs > 0 && elapsed >= runMs) || (elapsed >= settleMs && (now.status & POSITIONER_STATUS_END_OF_TRAVEL)))) {
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
    if (!reportResult(PositionerGetReference(s.handle(), axis, &reference, &valid), "read the reference of axis %d",
                      axis))
        return kExitFailed;
    std::printf("axis %d: reference position %d\n", axis, reference);
    return kExitOk;
}

int commandStep(Invocation& call) {
    const Session& s = *call.session;
    const int32_t axis = call.args.number(0), direction = call.args.number(1), count = call.args.number(2);
    for (int32_t i = 0; i < count; ++i) {
        if (!reportResult(PositionerMoveSingleStep(s.handle(), axis, direction), "make step %d of axis %d", i + 1,
                          axis))
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
    for (int32_t axis = 0; axis < kAxisCount; ++axis) {
        if (only >= 0 && axis != only) continue;
        if (!stopAxis(s, axis)) return kExitFailed;
    }
    if (only >= 0) {
        std::printf("axis %d stopped\n", only);
    } else {
        std::printf("all axes stopped\n");
    }
    return kExitOk;
}
