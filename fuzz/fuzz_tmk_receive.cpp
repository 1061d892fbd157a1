// tormak's receive of the two carriers. USB: bulk-read completions of any
// content and length from the simulated driver, handed out as 512-byte
// blocks by the slot's block receive, optionally followed by a cancel or
// an unplug; every block must be the next 512 bytes of its transfer,
// zero-padded. Ethernet: a byte stream through a socketpair, read as whole
// telegrams until the peer has closed it.
//
// Input: one flag byte, then the carrier's bytes.
// Flag bit 0: Ethernet, the rest of the input is the stream. Otherwise
// USB, transfers of [16-bit count][count bytes], and bit 1: the wait for
// the first read fails; bit 2: TMK_cancelIo once every transfer is taken;
// bit 3: the device is unplugged then.
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "connect/carrier.h"
#include "fuzz_input.h"
#include "wire/telegram.h"
#include "sim_usb_driver.h"
#include "tormak.h"
#include "trace.h"
#include "platform/usb_driver_protocol.h"

namespace simdrv = plat::simdrv;

namespace {

constexpr uint16_t kLargestTransfer = 0x1FFF;
constexpr size_t kReadBufferSize = 4096;  // what one read of the slot can take
constexpr size_t kBlock = UC_MAX_TELEGRAM;

std::string instanceId() { return "USB\\VID_16C0&PID_055B\\TMKFUZZ" + std::to_string(getpid()); }

using Transfer = std::vector<uint8_t>;

std::vector<Transfer> queueTransfers(fuzzin::Input& in, simdrv::DeviceId sim) {
    std::vector<Transfer> transfers;
    while (!in.empty()) {
        Transfer t = in.bytes(in.u16() & kLargestTransfer);
        simdrv::queueTransfer(sim, t.data(), t.size());
        t.resize(std::min(t.size(), kReadBufferSize));
        transfers.push_back(std::move(t));
    }
    return transfers;
}

// One block receive must hand out block `block` of the transfer.
void expectBlock(int handle, const Transfer& t, size_t block) {
    uint8_t buffer[kBlock];
    int bytes = -1;
    FUZZ_CHECK(tmk::usbCarrier().receive(handle, buffer, &bytes) == RC_OK);
    const size_t offset = block * kBlock;
    const size_t n = std::min(kBlock, t.size() - offset);
    FUZZ_CHECK(bytes == static_cast<int>(n));
    FUZZ_CHECK(std::memcmp(buffer, t.data() + offset, n) == 0);
    FUZZ_CHECK(std::all_of(buffer + n, buffer + kBlock, [](uint8_t b) { return b == 0; }));
}

void receiveUsb(fuzzin::Input& in, uint8_t flags) {
    const int handlesBefore = simdrv::openHandleCount();
    const simdrv::DeviceId sim = simdrv::addDevice(plat::kGuidVariant0, instanceId());
    int handle = -1;
    FUZZ_CHECK(TMK_init(0, &handle) == RC_OK);
    if (flags & 2) simdrv::failNextReadWait(sim);
    const std::vector<Transfer> transfers = queueTransfers(in, sim);

    size_t first = 0;
    uint8_t buffer[kBlock];
    int bytes = 0;
    if (flags & 2) {
        // The failed wait loses the transfer that its read took.
        FUZZ_CHECK(tmk::usbCarrier().receive(handle, buffer, &bytes) == RC_ERROR);
        first = 1;
    }
    for (size_t i = first; i < transfers.size(); ++i) {
        if (transfers[i].empty()) {
            FUZZ_CHECK(tmk::usbCarrier().receive(handle, buffer, &bytes) == RC_TIMEOUT);
            continue;
        }
        for (size_t block = 0; block * kBlock < transfers[i].size(); ++block)
            expectBlock(handle, transfers[i], block);
    }

    if (flags & 4) {
        FUZZ_CHECK(TMK_cancelIo(handle) == RC_OK);
        FUZZ_CHECK(tmk::usbCarrier().receive(handle, buffer, &bytes) == RC_ERROR);
        FUZZ_CHECK(TMK_send(handle, 0, nullptr) == RC_NOT_CONNECTED);
    } else if (flags & 8) {
        // A read still in flight (its wait failed, nothing came) ends with
        // the unplug; otherwise the new read is refused.
        const bool readInFlight = (flags & 2) && transfers.empty();
        simdrv::removeDevice(sim);
        FUZZ_CHECK(tmk::usbCarrier().receive(handle, buffer, &bytes) ==
                   (readInFlight ? RC_ERROR : RC_NOT_CONNECTED));
    }
    FUZZ_CHECK(TMK_shutdown(handle) == RC_OK);
    simdrv::removeAllDevices();
    FUZZ_CHECK(simdrv::openHandleCount() == handlesBefore);
}

// The whole stream is in the socket and the writer gone: every receive
// either hands out a telegram, drops bytes out of sync, or ends the stream.
void receiveEthernet(fuzzin::Input& in) {
    int pair[2];
    FUZZ_CHECK(socketpair(AF_UNIX, SOCK_STREAM, 0, pair) == 0);
    const std::vector<uint8_t> stream = in.rest();
    FUZZ_CHECK(::send(pair[1], stream.data(), stream.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(stream.size()));
    close(pair[1]);
    uint8_t buffer[kBlock];
    for (;;) {
        int bytes = 0;
        const int result = tmk::ethernetCarrier().receive(pair[0], buffer, &bytes);
        if (result == RC_OK) {
            FUZZ_CHECK(bytes == std::max<int64_t>(4, uc::wireSize(uc::get32(buffer))));
            continue;
        }
        FUZZ_CHECK(result == RC_OUT_OF_SYNC || result == RC_ERROR);
        if (result == RC_ERROR) break;
    }
    close(pair[0]);
}

}  // namespace

// The carrier is chosen once per process, by the first count. A device is
// plugged in for it, so that USB wins and no network search is made.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzin::traceToNowhere(TraceCategoryMask);
    simdrv::addDevice(plat::kGuidVariant0, instanceId());
    int count = 0;
    FUZZ_CHECK(TMK_presence(&count, false) == RC_OK && count == 1);
    simdrv::removeAllDevices();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzin::Input in(data, size);
    const uint8_t flags = in.byte();
    if (flags & 1) {
        receiveEthernet(in);
    } else {
        receiveUsb(in, flags);
    }
    return 0;
}
