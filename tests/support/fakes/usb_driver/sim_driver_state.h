// State of the simulated USB kernel driver: the plugged devices, the open
// device files with their requests in flight, and the one-shot faults.
// One lock guards it all; completing a request (under that lock) writes
// the caller's overlapped record and buffer and then sets its event.
#ifndef PLATFORM_LINUX_SIM_DRIVER_STATE_H
#define PLATFORM_LINUX_SIM_DRIVER_STATE_H

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/linux/kernel_objects.h"
#include "sim_usb_driver.h"

namespace plat {
namespace simdrv {

// Status word of an overlapped record whose request is in flight.
constexpr uintptr_t kStatusPending = 0x103;
// Largest transfer the simulated device moves at once.
constexpr size_t kMaxTransfer = 4096;

bool consumeFault(Fault fault);
// Arms the next wait on the event of a read request to fail; true (once)
// for an armed event handle.
void armFailingWait(Handle event);
bool consumeFailingWait(Handle event);

struct PendingRequest {
    Overlapped* overlapped = nullptr;
    std::shared_ptr<EventObject> event;
    uint8_t* readBuffer = nullptr;  // reads: where the bytes go
    DWord readCapacity = 0;
    std::vector<uint8_t> writeData;  // writes: the bytes to deliver
};

struct DeviceFile;

struct SimDevice {
    DeviceId id = 0;
    Guid interfaceGuid{};
    std::string instanceId;
    std::string path;
    SimUsbPeer peer;
    bool present = true;
    bool writesStalled = false;
    bool failReadWaitArmed = false;
    int readRequestCount = 0;
    int writeRequestCount = 0;
    std::deque<std::vector<uint8_t>> queuedTransfers;
    std::vector<uint8_t> writtenBytes;
    std::vector<DeviceFile*> files;  // open files; each removes itself when it goes
};

// One opened device path. With a peer that can be read, a worker thread
// polls the peer while a read is in flight.
struct DeviceFile : KernelObject {
    explicit DeviceFile(std::shared_ptr<SimDevice> dev);
    ~DeviceFile() override;
    void pollPeer();

    std::shared_ptr<SimDevice> device;
    std::deque<PendingRequest> reads;
    std::deque<PendingRequest> writes;
    std::condition_variable readWanted;
    bool stopping = false;
    std::thread worker;
};

struct Driver {
    std::mutex lock;
    std::vector<std::shared_ptr<SimDevice>> present;       // in plug order
    std::map<DeviceId, std::shared_ptr<SimDevice>> known;  // every device added
    DeviceId nextId = 1;
};

Driver& driver();

// The following run with driver().lock held.
void complete(PendingRequest& request, DWord status, DWord bytes);
void completeAll(std::deque<PendingRequest>& requests, DWord status);
// Completes pending reads of the device's files with queued transfers.
void deliverQueuedTransfers(SimDevice& device);
// Completes the first pending read of the device with a transfer; false
// when no read is pending.
bool completeRead(SimDevice& device, const std::vector<uint8_t>& transfer);

}  // namespace simdrv
}  // namespace plat

#endif
