#include "exit_guard.h"

#include <cstdlib>
#include <mutex>
#include <vector>

#include "handle_table.h"
#include "lifecycle.h"
#include "receive_thread.h"
#include "wire/tick.h"
#include "transport/uc_device.h"
#include "wire/timing.h"

namespace pos {

namespace {

constexpr int kPollMs = 1;

// What a handle whose thread may still run keeps for the rest of the
// process. Reachable from a global, never released.
struct Kept {
    std::unique_ptr<ReceiveThread> thread;
    std::unique_ptr<UcTelegram> buffer;
    std::shared_ptr<UcDevice> device;
    std::vector<std::unique_ptr<IWaitCondition>> waits;
};
std::vector<Kept>* kept = nullptr;

// The loop ended by itself, its thread is gone and no call of another
// thread is inside the handle: nothing runs there.
bool stopped(const HandleEntry& h) {
    return !h.connected.load() && (!h.receiveThread || h.receiveThread->finished()) && h.users.load() == 0;
}

// Nothing more will change for the handle: stopped, or its thread ended
// without finishing its loop (ended by the system).
bool settled(const HandleEntry& h) { return stopped(h) || (h.receiveThread && h.receiveThread->finished()); }

void keep(HandleEntry& h) {
    if (!kept) kept = new std::vector<Kept>;
    Kept k;
    k.thread = std::move(h.receiveThread);
    k.buffer = std::move(h.receiveBuffer);
    k.device = std::move(h.device);
    for (AxisEntry& axis : h.axes) {
        for (auto& w : axis.waits) k.waits.push_back(std::move(w));
    }
    kept->push_back(std::move(k));
}

}  // namespace

void closeHandlesAtExit() {
    std::vector<int> open;
    for (int n = kFirstHandle; n < kHandleCount; ++n) {
        HandleEntry& h = *handleEntry(n);
        if (!h.inUse.load() || !h.device) continue;
        h.running.store(false);
        bool wasOpen = true;
        if (h.open.compare_exchange_strong(wasOpen, false)) wakeWaiters(h);
        open.push_back(n);
    }
    const int64_t deadline = uc::tickMs() + uc::kExitWaitMs;
    for (int n : open) {
        while (!settled(*handleEntry(n)) && uc::tickMs() < deadline) IThread::sleep(kPollMs);
    }
    for (int n : open) {
        HandleEntry& h = *handleEntry(n);
        if (stopped(h)) {
            releaseStoppedHandle(n);
        } else {
            keep(h);
        }
    }
}

void armExitGuard() {
    static std::once_flag armed;
    std::call_once(armed, [] { std::atexit([] { closeHandlesAtExit(); }); });
}

}  // namespace pos
