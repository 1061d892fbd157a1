// The background connect sequence: open the device, read its type, its id
// and one more register, publishing each step in the device's linkStatus.
#include "ithreads.h"
#include "registry.h"
#include "uc_link.h"
#include "threads/mutex_guard.h"

namespace {

class ConnectThread : public IThread {
public:
    ConnectThread(std::shared_ptr<UcDevice> device, int address)
        : device_(std::move(device)), address_(address) {}

    void run() override {
        UcDevice& d = *device_;
        int value = 0;
        publish(1, RC_OK);
        int result = UC_init(d);
        publish(1, result);
        if (result == RC_OK && !abortRequested) publish(2, result = UC_getType(d, &value));
        if (result == RC_OK && !abortRequested) publish(3, result = UC_getId(d, &value));
        if (result == RC_OK && !abortRequested) publish(4, result = UC_getValue(d, address_, &value, 0));
        if (result != RC_OK) UC_shutdown(d);
        d.link().connectRunning = false;
        // start() still touches this object after the thread began; wait
        // for it to return before the object deletes itself (and with it
        // its reference to the device).
        {
            MutexGuard guard(launchLock_);
            while (!launched_) launchedChanged_.wait(&launchLock_, -1);
        }
        delete this;
    }

    // Starts the sequence; false when no thread could be made.
    static bool launch(std::shared_ptr<UcDevice> device, int address) {
        auto* thread = new ConnectThread(std::move(device), address);
        thread->start();
        // The thread cannot end before the wake below, so a finished thread
        // here is one that never started.
        const bool started = !thread->finished();
        if (!started) {
            delete thread;
            return false;
        }
        // Notified under the lock, so the thread cannot delete the object
        // (and its lock) before this call is done with them.
        MutexGuard guard(thread->launchLock_);
        thread->launched_ = true;
        thread->launchedChanged_.wakeOne();
        return true;
    }

private:
    void publish(int step, int result) {
        device_->link().linkStatus = static_cast<int32_t>((static_cast<uint32_t>(step) << 16) |
                                                          (static_cast<uint32_t>(result) & 0xFFFF));
    }

    std::shared_ptr<UcDevice> device_;  // kept alive even if a scan drops it
    const int address_;
    IMutex launchLock_;
    IWaitCondition launchedChanged_;
    bool launched_ = false;  // under launchLock_
};

}  // namespace

int UC_initAsync(int device, int address) {
    std::shared_ptr<UcDevice> ref = UC_deviceRef(device);
    if (!ref) return RC_NO_DEVICE;
    abortRequested = false;
    if (ref->link().connectRunning.exchange(true)) return RC_OK;  // one sequence at a time
    UcDevice& d = *ref;
    if (!ConnectThread::launch(std::move(ref), address)) d.link().connectRunning = false;
    return RC_OK;
}

bool UC_initStatus(int device, int* result, int* step) {
    std::shared_ptr<UcDevice> ref = UC_deviceRef(device);
    if (!ref) {
        if (result) {
            *result = RC_NO_DEVICE;
            if (step) *step = 0;
        }
        return false;
    }
    if (result) {
        const int32_t status = ref->link().linkStatus;
        *result = status & 0xFFFF;
        if (step) *step = (status >> 16) & 0xFFFF;
    }
    return ref->link().connectRunning;
}
