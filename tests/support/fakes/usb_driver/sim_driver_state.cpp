#include "sim_driver_state.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <set>

namespace plat {
namespace simdrv {

namespace {

constexpr int kFaultKinds = static_cast<int>(Fault::CreateEvent) + 1;
std::atomic<bool> gFaults[kFaultKinds];

// Event handles whose next wait fails; a lock of their own, since reads
// arm them with the driver's lock held.
std::mutex gFailingWaitsLock;
std::set<Handle> gFailingWaits;

// Slice of one poll of the peer, so that close and abort are noticed soon.
constexpr int kPollSliceMs = 20;

}  // namespace

Driver& driver() {
    static Driver* instance = new Driver;  // outlives static destructors
    return *instance;
}

bool consumeFault(Fault fault) { return gFaults[static_cast<int>(fault)].exchange(false); }
void failNext(Fault fault) { gFaults[static_cast<int>(fault)] = true; }
void armFailingWait(Handle event) {
    std::lock_guard<std::mutex> guard(gFailingWaitsLock);
    gFailingWaits.insert(event);
}

bool consumeFailingWait(Handle event) {
    std::lock_guard<std::mutex> guard(gFailingWaitsLock);
    return gFailingWaits.erase(event) != 0;
}

void clearFaults() {
    for (auto& f : gFaults) f = false;
}

void complete(PendingRequest& request, DWord status, DWord bytes) {
    request.overlapped->internal = status;
    request.overlapped->internalHigh = bytes;
    if (request.event) request.event->set();
}

void completeAll(std::deque<PendingRequest>& requests, DWord status) {
    for (PendingRequest& r : requests) complete(r, status, 0);
    requests.clear();
}

bool completeRead(SimDevice& device, const std::vector<uint8_t>& transfer) {
    for (DeviceFile* file : device.files) {
        if (file->reads.empty()) continue;
        PendingRequest request = std::move(file->reads.front());
        file->reads.pop_front();
        const size_t n = std::min<size_t>(transfer.size(), request.readCapacity);
        if (n) std::memcpy(request.readBuffer, transfer.data(), n);
        complete(request, kErrorSuccess, static_cast<DWord>(n));
        return true;
    }
    return false;
}

void deliverQueuedTransfers(SimDevice& device) {
    while (!device.queuedTransfers.empty() && completeRead(device, device.queuedTransfers.front()))
        device.queuedTransfers.pop_front();
}

DeviceFile::DeviceFile(std::shared_ptr<SimDevice> dev)
    : KernelObject(Kind::DeviceFile), device(std::move(dev)) {
    device->files.push_back(this);
    if (device->peer.read) worker = std::thread([this] { pollPeer(); });
}

DeviceFile::~DeviceFile() {
    {
        std::lock_guard<std::mutex> guard(driver().lock);
        stopping = true;
        completeAll(reads, kErrorOperationAborted);
        completeAll(writes, kErrorOperationAborted);
        auto& files = device->files;
        files.erase(std::remove(files.begin(), files.end(), this), files.end());
    }
    readWanted.notify_all();
    if (worker.joinable()) worker.join();
}

void DeviceFile::pollPeer() {
    std::unique_lock<std::mutex> guard(driver().lock);
    while (!stopping) {
        if (reads.empty() || !device->present || !device->queuedTransfers.empty()) {
            readWanted.wait(guard);
            continue;
        }
        const DWord capacity = std::min<DWord>(reads.front().readCapacity, kMaxTransfer);
        auto read = device->peer.read;
        guard.unlock();
        std::vector<uint8_t> transfer;
        const bool got = read(transfer, kPollSliceMs, capacity);
        guard.lock();
        // A transfer that finds its read aborted meanwhile waits for the next.
        if (got && !completeRead(*device, transfer)) device->queuedTransfers.push_front(transfer);
    }
}

}  // namespace simdrv
}  // namespace plat
