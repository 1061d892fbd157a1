#include "lifecycle.h"

#include <vector>

#include "exit_guard.h"
#include "handle_table.h"
#include "link/uc_link.h"
#include "receive_thread.h"
#include "trace.h"
#include "trace_control.h"
#include "wire/registers.h"

namespace pos {

namespace {

constexpr int kClosePollMs = 1;

// The array that PositionerCheck hands out; kept and reused so that
// repeated scans do not leak. detectedCount elements describe the scan.
std::vector<DetectedDevice> detected(1);
int detectedCount = 0;

DetectedDevice probeDevice(int device) {
    DetectedDevice d{};
    d.unavailable = true;
    if (UC_init(device) != RC_OK) return d;  // not opened: nothing to close
    int32_t type = 0, id = 0;
    if (UC_getType(device, &type) == RC_OK &&
        (type & uc::value::kTypeFamilyMask) == uc::value::kPositionerType && UC_getId(device, &id) == RC_OK) {
        d.hardwareId = id;
        d.unavailable = false;
    }
    UC_shutdown(device);
    return d;
}

// Opens the device object for the handle: 0 with the device held and
// open, or the failure (nothing held, nothing left open).
int openDevice(HandleEntry& h, const std::shared_ptr<UcDevice>& object) {
    if (!object) return RC_NO_DEVICE;
    if (!claimDevice(h, object)) return RC_DEVICE_LOCKED;
    int rc = UC_init(*object);
    if (rc == RC_OK) {
        int32_t type = 0;
        rc = UC_getType(*object, &type);
        if (rc != RC_OK) UC_shutdown(*object);
    }
    if (rc != RC_OK) releaseDevice(h);
    return rc;
}

void createWaits(HandleEntry& h) {
    for (AxisEntry& axis : h.axes) {
        for (auto& w : axis.waits) w.reset(new IWaitCondition);
    }
}

void destroyWaits(HandleEntry& h) {
    for (AxisEntry& axis : h.axes) {
        for (auto& w : axis.waits) w.reset();
    }
}

void zeroReportedValues(HandleEntry& h) {
    for (AxisEntry& axis : h.axes) {
        axis.set(Field::Status, 0);
        axis.set(Field::ReferencePosition, 0);
        axis.set(Field::Position, 0);
        axis.reported.store(0);
    }
    h.reports.restart();
}

}  // namespace

int32_t checkDevices(DetectedDevice** devices) {
    setUpDefaultTrace();

    int count = 0;
    if (UC_presence(&count, UC_CARRIER_ALL) != RC_OK || count < 0) count = 0;

    detectedCount = 0;
    detected.assign(static_cast<size_t>(count > 0 ? count : 1), DetectedDevice{});
    for (int i = 0; i < count; ++i) detected[static_cast<size_t>(i)] = probeDevice(i);
    detectedCount = count;
    if (devices) *devices = detected.data();
    return count;
}

int32_t checkedHardwareId(int32_t device) {
    if (device < 0 || device >= detectedCount) return -1;
    const DetectedDevice& d = detected[static_cast<size_t>(device)];
    return d.unavailable ? -1 : d.hardwareId;
}

int32_t connectHandle(int32_t device, int32_t* handleOut) {
    if (!handleOut) return RC_INVALID_PARAM;
    return openHandle(UC_deviceRef(device), device, handleOut);
}

int32_t openHandle(const std::shared_ptr<UcDevice>& object, int32_t device, int32_t* handleOut) {
    const int handle = allocateHandle();
    if (handle < 0) return RC_ERROR;
    HandleEntry& h = *handleEntry(handle);

    const int rc = openDevice(h, object);
    h.deviceNumber = device;
    *handleOut = rc == RC_OK ? handle : -1;
    if (rc != RC_OK) {
        h.connected.store(false);
        releaseHandle(handle);
        return rc;
    }

    createWaits(h);
    h.receiveBuffer.reset(new UcTelegram{});
    zeroReportedValues(h);
    h.running.store(true);
    // Connected before the thread starts, so that a receive failure right
    // away is not overwritten.
    h.connected.store(true);
    h.receiveThread.reset(new ReceiveThread(handle));
    h.receiveThread->start();
    armExitGuard();

    sendSet(h, uc::reg::kStartReports, 0, 1);
    h.open.store(true);
    return RC_OK;
}

int32_t closeHandle(int32_t handle) {
    HandleEntry* h = handleEntry(handle);
    // A handle whose connect has not finished, or that another thread
    // closes already, is not open for a close either.
    bool wasOpen = true;
    if (!h || !h->inUse.load() || !h->open.compare_exchange_strong(wasOpen, false)) return RC_ERROR;

    h->running.store(false);
    // Calls in progress on other threads return (2, or their own result)
    // before anything they use is released.
    wakeWaiters(*h);
    while (h->users.load() > 0) IThread::sleep(kClosePollMs);
    while (h->receiveThread && !h->receiveThread->finished()) IThread::sleep(kClosePollMs);
    return releaseStoppedHandle(handle);
}

int32_t releaseStoppedHandle(int32_t handle) {
    HandleEntry& h = *handleEntry(handle);
    const int rc = UC_shutdown(*h.device);
    h.receiveThread.reset();
    destroyWaits(h);
    h.receiveBuffer.reset();
    releaseDevice(h);
    releaseHandle(handle);
    return rc;
}

int32_t setHardwareId(int32_t handle, int32_t id) {
    HandleUse use(handle);
    HandleEntry* h = use.entry();
    if (!h) return RC_NOT_CONNECTED;
    RequestScope scope(*h);
    sendSet(*h, uc::reg::kNewId, 0, id);
    return sendSet(*h, uc::reg::kIdUnlock, 0, uc::value::kIdUnlockCode);
}

}  // namespace pos
