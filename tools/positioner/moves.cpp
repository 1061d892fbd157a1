// Commands that move an axis, with a live position display that ends when
// the move has ended, on Ctrl-C (which stops the axis) or at the time-out.
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>

#include "commands.h"
#include "ithreads.h"
#include "results.h"
#include "status.h"

namespace {

constexpr int kSampleMs = 50;

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

// One display line: rewritten in place on a terminal, else printed anew
// whenever it changes.
class LiveLine {
public:
    void show(const std::string& text) {
        if (tty_) {
            std::printf("\r%-70s", text.c_str());
            std::fflush(stdout);
        } else if (text != last_) {
            std::printf("%s\n", text.c_str());
        }
        last_ = text;
    }
    void finish() {
        if (tty_ && !last_.empty()) std::printf("\n");
    }

private:
    bool tty_ = isatty(STDOUT_FILENO) != 0;
    std::string last_;
};

struct Sample {
    int32_t position = 0, status = 0;
};

enum class Outcome { Running, Done, Failed };

// Decides from a sample and the time since the command whether the move
// has ended.
using Judge = std::function<Outcome(const Sample&, long long elapsedMs)>;

long long msSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
}

bool stopAxis(const Session& s, int32_t axis) { return reportResult("stop", PositionerStopMoving(s.handle(), axis)); }

int watch(const Session& s, int32_t axis, const Judge& judge) {
    InterruptCatcher catcher;
    LiveLine line;
    const auto t0 = std::chrono::steady_clock::now();
    const long long limitMs = 1000LL * s.settings().timeoutS;
    for (;;) {
        Sample now;
        if (!reportResult("position", PositionerGetPosition(s.handle(), axis, &now.position)) ||
            !reportResult("status", PositionerGetStatus(s.handle(), axis, &now.status))) {
            line.finish();
            return kExitFailed;
        }
        const long long elapsed = msSince(t0);
        char text[128];
        std::snprintf(text, sizeof text, "axis %d  position %11d  %s", axis, now.position,
                      statusText(now.status).c_str());
        line.show(text);
        if (interrupted) {
            line.finish();
            stopAxis(s, axis);
            std::printf("interrupted: axis %d stopped\n", axis);
            return kExitInterrupted;
        }
        const Outcome outcome = judge(now, elapsed);
        if (outcome != Outcome::Running) {
            line.finish();
            return outcome == Outcome::Done ? kExitOk : kExitFailed;
        }
        if (elapsed > limitMs) {
            line.finish();
            stopAxis(s, axis);
            std::fprintf(stderr, "positioner: axis %d: move did not end within %d s; axis stopped\n", axis,
                         s.settings().timeoutS);
            return kExitFailed;
        }
        IThread::sleep(kSampleMs);
    }
}

// A move to a target has ended when, after the reports from before the
// command are out of date, the axis stands with the target reached.
Judge untilTarget(const Session& s) {
    const long long settleMs = s.settings().settleMs;
    return [settleMs](const Sample& now, long long elapsed) {
        if (elapsed < settleMs || (now.status & kMoving)) return Outcome::Running;
        if (now.status & kTargetReached) return Outcome::Done;
        if (now.status & kEndOfTravel) {
            std::fprintf(stderr, "positioner: stopped at the end of travel before the target\n");
            return Outcome::Failed;
        }
        return Outcome::Running;
    };
}

bool parseDirection(const std::string& text, int32_t* direction) {
    if (text == "fwd" || text == "forward" || text == "1") {
        *direction = 1;
    } else if (text == "bkw" || text == "backward" || text == "0") {
        *direction = 0;
    } else {
        std::fprintf(stderr, "positioner: direction: '%s' is neither fwd nor bkw\n", text.c_str());
        return false;
    }
    return true;
}

using TargetMove = int32_t(UC_STDCALL*)(int32_t, int32_t, int32_t, int32_t);

int moveToTarget(const Settings& settings, const Args& args, const char* what, TargetMove move) {
    int32_t axis = 0, value = 0, rotations = 0;
    if (!parseInt(args[0], "axis", &axis) || !parseInt(args[1], what, &value)) return kExitUsage;
    if (args.size() > 2 && !parseInt(args[2], "rotation count", &rotations)) return kExitUsage;
    Session s(settings);
    if (!s.open()) return kExitFailed;
    if (!reportResult(what, move(s.handle(), axis, value, rotations))) return kExitFailed;
    return watch(s, axis, untilTarget(s));
}

}  // namespace

int commandMoveAbsolute(const Settings& settings, const Args& args) {
    return moveToTarget(settings, args, "move absolute", PositionerMoveAbsolute);
}

int commandMoveRelative(const Settings& settings, const Args& args) {
    return moveToTarget(settings, args, "move relative", PositionerMoveRelative);
}

int commandMoveContinuous(const Settings& settings, const Args& args) {
    int32_t axis = 0, direction = 0, seconds = 0;
    if (!parseInt(args[0], "axis", &axis) || !parseDirection(args[1], &direction)) return kExitUsage;
    if (args.size() > 2 && !parseInt(args[2], "seconds", &seconds)) return kExitUsage;
    Session s(settings);
    if (!s.open()) return kExitFailed;
    if (!reportResult("move continuous", PositionerMoveContinuous(s.handle(), axis, direction))) return kExitFailed;

    // Runs until Ctrl-C, the end of travel, or the given seconds.
    const long long runMs = 1000LL * seconds;
    const long long settleMs = settings.settleMs;
    bool stopped = false;
    long long stoppedAt = 0;
    return watch(s, axis, [&](const Sample& now, long long elapsed) {
        if (!stopped && ((runMs > 0 && elapsed >= runMs) || (elapsed >= settleMs && (now.status & kEndOfTravel)))) {
            if (!stopAxis(s, axis)) return Outcome::Failed;
            stopped = true;
            stoppedAt = elapsed;
        }
        // After the stop, wait for the reports to show the axis at rest.
        if (stopped && elapsed - stoppedAt >= settleMs && !(now.status & kMoving)) return Outcome::Done;
        return Outcome::Running;
    });
}

int commandStep(const Settings& settings, const Args& args) {
    int32_t axis = 0, direction = 0, count = 1;
    if (!parseInt(args[0], "axis", &axis) || !parseDirection(args[1], &direction)) return kExitUsage;
    if (args.size() > 2 && !parseInt(args[2], "count", &count)) return kExitUsage;
    Session s(settings);
    if (!s.open()) return kExitFailed;
    for (int32_t i = 0; i < count; ++i) {
        if (!reportResult("step", PositionerMoveSingleStep(s.handle(), axis, direction))) return kExitFailed;
    }
    IThread::sleep(static_cast<unsigned long>(settings.settleMs));
    int32_t position = 0;
    if (!reportResult("position", PositionerGetPosition(s.handle(), axis, &position))) return kExitFailed;
    std::printf("axis %d: %d step(s) %s, position %d\n", axis, count, direction ? "forward" : "backward", position);
    return kExitOk;
}
