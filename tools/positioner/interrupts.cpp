#include "interrupts.h"

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "exit_codes.h"
#include "output.h"
#include "positioner.h"
#include "session.h"

namespace {

// How long the command gets to end by itself after the halt before its
// controller is closed under it.
constexpr auto kGrace = std::chrono::milliseconds(300);

std::atomic<bool> signalled{false};

}  // namespace

struct InterruptHalt::Watch {
    std::mutex lock;
    std::condition_variable changed;
    Session* session = nullptr;
    int32_t axis = -1;
    bool done = false;
};

namespace {

sigset_t watchedSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGUSR1);  // the end of watching
    return set;
}

void halt(Session& session, int32_t axis) {
    const int32_t h = session.handle();
    const int32_t rc = axis < 0 ? PositionerHaltAll(h) : PositionerHalt(h, axis);
    if (rc != RC_OK) {
        complain("interrupted, but the halt failed: %s (result %d)", PositionerResultText(rc), rc);
    } else if (axis < 0) {
        complain("interrupted: all axes halted");
    } else {
        complain("interrupted: axis %d halted", axis);
    }
}

void watchSignals(InterruptHalt::Watch& watch) {
    const sigset_t set = watchedSignals();
    for (;;) {
        int number = 0;
        if (sigwait(&set, &number) != 0) return;
        std::unique_lock<std::mutex> guard(watch.lock);
        if (watch.done) return;
        if (number == SIGUSR1) continue;  // not ours
        if (!watch.session) {
            // Nothing is open that could move: end as Ctrl-C always did.
            std::fflush(stdout);
            std::_Exit(kExitInterrupted);
        }
        signalled = true;
        halt(*watch.session, watch.axis);
        if (!watch.changed.wait_for(guard, kGrace, [&] { return watch.done; })) watch.session->close();
        return;
    }
}

}  // namespace

InterruptHalt::InterruptHalt() : watch_(new Watch) {
    const sigset_t set = watchedSignals();
    pthread_sigmask(SIG_BLOCK, &set, &previousMask_);
    watcher_ = std::thread(watchSignals, std::ref(*watch_));
}

InterruptHalt::~InterruptHalt() {
    disarm();
    pthread_kill(watcher_.native_handle(), SIGUSR1);
    watcher_.join();
    pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

void InterruptHalt::disarm() {
    {
        std::lock_guard<std::mutex> guard(watch_->lock);
        watch_->done = true;
        watch_->session = nullptr;
    }
    watch_->changed.notify_all();
}

void InterruptHalt::arm(Session& session, int32_t axis) {
    std::lock_guard<std::mutex> guard(watch_->lock);
    watch_->session = &session;
    watch_->axis = axis;
}

bool InterruptHalt::interrupted() { return signalled; }
