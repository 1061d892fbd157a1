// Control interface of the fake libusb-0.1 linked into the test programs.
// A test builds simulated busses with simulated controllers on them; the
// fake's usb_* functions then enumerate them in bus order and move bulk
// transfers to and from each controller: either a queue of transfers that
// the test pushes, or a peer (for example the controller simulator).
// Error codes follow libusb-0.1 on Linux: negative errno values.
#ifndef TESTS_FAKES_FAKE_LIBUSB_H
#define TESTS_FAKES_FAKE_LIBUSB_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace fake_libusb {

struct Device;  // one simulated controller

using Bytes = std::vector<uint8_t>;

// Controller side of a simulated device. read fills one controller->host
// transfer of at most maxBytes and returns false when nothing came within
// timeoutMs; write takes one host->controller transfer.
struct Peer {
    std::function<bool(Bytes& transfer, int timeoutMs, size_t maxBytes)> read;
    std::function<void(const void* bytes, size_t n)> write;
};

struct Stats {
    int opens = 0;
    int closes = 0;
    int claims = 0;
    int releases = 0;
    int openHandles = 0;         // opened and not yet closed
    int reads = 0;               // usb_bulk_read calls that started
    int maxParallelReads = 0;    // most bulk reads pending at one time
    int readsOnClosed = 0;       // transfers attempted on a handle of a gone device
    std::vector<Bytes> written;  // host->controller transfers, in order
};

// Removes every bus and device. No device object may still refer to them.
void reset();
// Appends an empty bus; returns its number (0, 1, ...).
int addBus();
// Appends a controller to a bus made by addBus.
Device* addDevice(int bus, uint16_t vendor, uint16_t product);

// Controller->host transfers, delivered one per usb_bulk_read in order.
// A read with nothing queued (and no peer) waits for a push and times out
// with -ETIMEDOUT after its time limit.
void pushTransfer(Device* d, const Bytes& bytes);
void pushTransfer(Device* d, const void* bytes, size_t n);
// The next read ends with this (negative) result instead of data.
void pushReadResult(Device* d, int result);

// Results of the next usb_bulk_write calls, in order: a negative error
// code, or the number of bytes reported as written (short writes). With
// none queued a write takes all bytes.
void pushWriteResult(Device* d, int result);

void setOpenFails(Device* d, bool fails);
void setClaimResult(Device* d, int result);  // e.g. -EBUSY: held elsewhere
void setReleaseResult(Device* d, int result);
void setPeer(Device* d, const Peer& peer);
// A read with nothing queued times out after at most this many ms (its own
// time limit when larger); lets tests close devices without waiting out
// a pending 500 ms read. 0: no cap.
void setReadWaitCap(Device* d, int ms);

// The controller goes away: a pending read and every later transfer fail
// with -ENODEV.
void unplug(Device* d);

Stats stats(Device* d);
// Waits until at least count bulk reads have started; false on time-out.
bool waitForReads(Device* d, int count, int timeoutMs);

}  // namespace fake_libusb

#endif
