// The USB slot table of tormak against the simulated kernel driver:
// counting, the failure results of open, 512-byte block receive, the
// waited-for send with its time limit, cancel and close.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "connect/usb_slot.h"
#include "uc_telegram.h"
#include "test_support.h"
#include "usb_bench.h"
#include "wire/timing.h"

using bench::BareDevice;
using test_support::elapsedMs;
namespace simdrv = plat::simdrv;
namespace usb = tmk::usb;

namespace {

std::vector<uint8_t> pattern(size_t n) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 1);
    return bytes;
}

class UsbSlotTest : public ::testing::Test {
protected:
    void SetUp() override {
        simdrv::removeAllDevices();
        simdrv::clearFaults();
        baseline = simdrv::openHandleCount();
    }
    void TearDown() override {
        simdrv::clearFaults();
        EXPECT_EQ(simdrv::openHandleCount(), baseline) << "every handle released";
    }

    // Opens variant-0 device `number`; expects success.
    int openDevice(int number = 0) {
        int handle = -7;
        EXPECT_EQ(usb::open(number, false, &handle), RC_OK);
        return handle;
    }

    int receive(int handle, int* bytes) {
        std::memset(block, 0x77, sizeof block);
        return usb::receive(handle, block, bytes);
    }

    int baseline = 0;
    uint8_t block[512];
};

TEST_F(UsbSlotTest, CountsBothInterfacesAndReportsNoneAsTwo) {
    int v1 = -1, v0 = -1;
    EXPECT_EQ(usb::count(&v1, &v0), RC_NOT_CONNECTED);
    BareDevice a(plat::kGuidVariant1), b(plat::kGuidVariant0), c(plat::kGuidVariant0);
    EXPECT_EQ(usb::count(&v1, &v0), RC_OK);
    EXPECT_EQ(v1, 1);
    EXPECT_EQ(v0, 2);
    // A list that cannot be had for one GUID does not hide the other's.
    simdrv::failNext(simdrv::Fault::ClassDevs);
    EXPECT_EQ(usb::count(&v1, &v0), RC_OK);
    EXPECT_EQ(v1, 0);
    EXPECT_EQ(v0, 2);
    // An enumeration that fails otherwise than at the end gives -1 for
    // that GUID.
    BareDevice d(plat::kGuidVariant1);
    simdrv::removeDevice(a.id());
    simdrv::removeDevice(d.id());
    simdrv::removeDevice(b.id());
    simdrv::removeDevice(c.id());
    simdrv::failNext(simdrv::Fault::EnumInterfaces);
    EXPECT_EQ(usb::count(&v1, &v0), RC_NOT_CONNECTED) << "variant-0 result wins";
}

TEST_F(UsbSlotTest, OpenFailuresGiveTheirCodeAndReleaseEverything) {
    BareDevice device(plat::kGuidVariant0);
    const struct {
        simdrv::Fault fault;
        int expected;
    } cases[] = {
        {simdrv::Fault::ClassDevs, RC_DRIVER_ERROR},       {simdrv::Fault::EnumInterfaces, RC_SYSTEM_ERROR},
        {simdrv::Fault::InterfaceDetail, RC_SYSTEM_ERROR}, {simdrv::Fault::InstanceId, RC_ERROR},
        {simdrv::Fault::InstanceLock, RC_DEVICE_LOCKED},   {simdrv::Fault::OpenDevice, RC_SYSTEM_ERROR},
        {simdrv::Fault::CreateEvent, RC_SYSTEM_ERROR},
    };
    for (const auto& c : cases) {
        simdrv::failNext(c.fault);
        int handle = 5;
        EXPECT_EQ(usb::open(0, false, &handle), c.expected) << static_cast<int>(c.fault);
        EXPECT_EQ(handle, -1);
        EXPECT_EQ(simdrv::openHandleCount(), baseline) << static_cast<int>(c.fault);
        simdrv::clearFaults();
    }
    int handle = 5;
    EXPECT_EQ(usb::open(1, false, &handle), RC_NOT_CONNECTED) << "number beyond the list";
    EXPECT_EQ(usb::open(0, true, &handle), RC_NOT_CONNECTED) << "no variant-1 device";
    EXPECT_EQ(usb::open(-1, false, &handle), RC_NOT_CONNECTED);
    // Every failure released its slot: the first success takes slot 0.
    const int first = openDevice();
    EXPECT_EQ(first, 0);
    EXPECT_EQ(usb::open(0, false, &handle), RC_DEVICE_LOCKED) << "held by the first opener";
    EXPECT_EQ(handle, -1);
    EXPECT_EQ(usb::close(first), RC_OK);
    EXPECT_EQ(usb::close(first), RC_NOT_CONNECTED) << "slot already free";
}

TEST_F(UsbSlotTest, HundredSlotsLowestFreeFirst) {
    std::vector<std::unique_ptr<BareDevice>> devices;
    for (int i = 0; i <= usb::kSlotCount; ++i)
        devices.push_back(std::make_unique<BareDevice>(plat::kGuidVariant0));
    for (int i = 0; i < usb::kSlotCount; ++i) ASSERT_EQ(openDevice(i), i);
    int handle = 5;
    EXPECT_EQ(usb::open(usb::kSlotCount, false, &handle), RC_ERROR) << "all slots taken";
    EXPECT_EQ(handle, -1);
    EXPECT_EQ(usb::close(37), RC_OK);
    EXPECT_EQ(openDevice(usb::kSlotCount), 37);
    for (int i = 0; i < usb::kSlotCount; ++i) EXPECT_EQ(usb::close(i), RC_OK);
}

TEST_F(UsbSlotTest, HandlesOutsideTheTableAreRefused) {
    char data[24] = {};
    int bytes = 0;
    for (int handle : {-1, usb::kSlotCount, 1 << 30, 5 /* free slot */}) {
        EXPECT_EQ(receive(handle, &bytes), RC_NOT_CONNECTED) << handle;
        EXPECT_EQ(usb::send(handle, sizeof data, data), RC_NOT_CONNECTED) << handle;
        EXPECT_EQ(usb::cancel(handle), RC_NOT_CONNECTED) << handle;
        EXPECT_EQ(usb::close(handle), RC_NOT_CONNECTED) << handle;
    }
}

TEST_F(UsbSlotTest, ShortTransferIsOneBlockAndAQuietLineKeepsTheReadPending) {
    BareDevice device(plat::kGuidVariant0);
    const int handle = openDevice();
    const std::vector<uint8_t> tell = bench::telegramBytes(UC_OP_TELL, 1045, 0, 0, {42});
    ASSERT_EQ(tell.size(), 24u);
    simdrv::queueTransfer(device.id(), tell.data(), tell.size());
    int bytes = 0;
    ASSERT_EQ(receive(handle, &bytes), RC_OK);
    EXPECT_EQ(bytes, 24);
    EXPECT_EQ(std::vector<uint8_t>(block, block + 24), tell);
    EXPECT_EQ(std::vector<uint8_t>(block + 24, block + 512), std::vector<uint8_t>(488, 0))
        << "no stale bytes past the transfer";
    EXPECT_EQ(simdrv::readRequests(device.id()), 1);
    // Nothing more: the next receive issues a new read and waits 500 ms.
    int result = -9;
    long long ms = elapsedMs([&] { result = receive(handle, &bytes); });
    EXPECT_EQ(result, RC_TIMEOUT);
    EXPECT_GE(ms, 450);
    EXPECT_LT(ms, 1500);
    EXPECT_EQ(simdrv::readRequests(device.id()), 2);
    // Data that arrives later completes the read still pending.
    simdrv::queueTransfer(device.id(), tell.data(), tell.size());
    EXPECT_EQ(receive(handle, &bytes), RC_OK);
    EXPECT_EQ(std::vector<uint8_t>(block, block + 24), tell);
    EXPECT_EQ(simdrv::readRequests(device.id()), 2);
    EXPECT_EQ(usb::close(handle), RC_OK);
}

TEST_F(UsbSlotTest, LongTransferIsHandedOutInThreeBlocks) {
    BareDevice device(plat::kGuidVariant0);
    const int handle = openDevice();
    const std::vector<uint8_t> transfer = pattern(1030);
    simdrv::queueTransfer(device.id(), transfer.data(), transfer.size());
    const int expected[] = {512, 512, 6};
    for (int i = 0; i < 3; ++i) {
        int bytes = 0;
        ASSERT_EQ(receive(handle, &bytes), RC_OK) << i;
        EXPECT_EQ(bytes, expected[i]);
        EXPECT_EQ(std::memcmp(block, transfer.data() + 512 * i, static_cast<size_t>(bytes)), 0) << i;
    }
    EXPECT_EQ(simdrv::readRequests(device.id()), 1) << "blocks come from the one transfer";
    EXPECT_EQ(usb::close(handle), RC_OK) << "closing with a read pending";
}

TEST_F(UsbSlotTest, FailedReadWaitDoesNotReissueTheRead) {
    BareDevice device(plat::kGuidVariant0);
    const int handle = openDevice();
    simdrv::failNextReadWait(device.id());
    int bytes = 0;
    EXPECT_EQ(receive(handle, &bytes), RC_ERROR);
    const std::vector<uint8_t> tell = bench::telegramBytes(UC_OP_TELL, 1028, 2, 0, {1});
    simdrv::queueTransfer(device.id(), tell.data(), tell.size());
    EXPECT_EQ(receive(handle, &bytes), RC_OK);
    EXPECT_EQ(std::vector<uint8_t>(block, block + 24), tell);
    EXPECT_EQ(simdrv::readRequests(device.id()), 1) << "the read the driver still held was waited for";
    EXPECT_EQ(usb::close(handle), RC_OK);
}

TEST_F(UsbSlotTest, SendIsOneBulkWrite) {
    BareDevice device(plat::kGuidVariant0);
    const int handle = openDevice();
    const std::vector<uint8_t> get = bench::telegramBytes(UC_OP_GET, 359, 0, 1, {});
    EXPECT_EQ(usb::send(handle, static_cast<int>(get.size()), get.data()), RC_OK);
    EXPECT_EQ(simdrv::written(device.id()), get);
    EXPECT_EQ(simdrv::writeRequests(device.id()), 1);
    EXPECT_EQ(usb::close(handle), RC_OK);
}

// The one test that sits through the 10000 ms write limit.
TEST_F(UsbSlotTest, StalledWriteTimesOutAndIsWaitedForBeforeTheNext) {
    BareDevice device(plat::kGuidVariant0);
    const int handle = openDevice();
    simdrv::stallWrites(device.id(), true);
    std::vector<uint8_t> first = bench::telegramBytes(UC_OP_SET, 1024, 0, 0, {111});
    const std::vector<uint8_t> firstCopy = first;
    int result = -9;
    long long ms = elapsedMs([&] { result = usb::send(handle, static_cast<int>(first.size()), first.data()); });
    EXPECT_EQ(result, RC_TIMEOUT);
    EXPECT_GE(ms, uc::kSendWaitMs - 50);
    EXPECT_LT(ms, uc::kSendWaitMs + 2000);
    std::fill(first.begin(), first.end(), 0xEE);  // the caller's buffer is free again
    int requestsWhileStalled = -1;
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        requestsWhileStalled = simdrv::writeRequests(device.id());
        simdrv::stallWrites(device.id(), false);
    });
    const std::vector<uint8_t> second = bench::telegramBytes(UC_OP_SET, 1025, 0, 0, {222});
    ms = elapsedMs([&] { result = usb::send(handle, static_cast<int>(second.size()), second.data()); });
    release.join();
    EXPECT_EQ(result, RC_OK);
    EXPECT_GE(ms, 250) << "waited for the earlier write first";
    EXPECT_EQ(requestsWhileStalled, 1) << "no request on the record still in flight";
    std::vector<uint8_t> both = firstCopy;
    both.insert(both.end(), second.begin(), second.end());
    EXPECT_EQ(simdrv::written(device.id()), both);
    EXPECT_EQ(simdrv::writeRequests(device.id()), 2);
    EXPECT_EQ(usb::close(handle), RC_OK);
}

TEST_F(UsbSlotTest, CancelledSlotIsDroppedButStaysTakenUntilClose) {
    BareDevice device(plat::kGuidVariant0);
    const int handle = openDevice();
    int bytes = 0;
    ASSERT_EQ(receive(handle, &bytes), RC_TIMEOUT) << "leaves a read pending";
    EXPECT_EQ(usb::cancel(handle), RC_OK);
    EXPECT_EQ(receive(handle, &bytes), RC_ERROR);
    char data[24] = {};
    EXPECT_EQ(usb::send(handle, sizeof data, data), RC_NOT_CONNECTED);
    EXPECT_EQ(usb::cancel(handle), RC_OK) << "a second cancel is harmless";
    // The instance lock went with the cancel; the slot did not.
    const int other = openDevice();
    EXPECT_NE(other, handle);
    EXPECT_EQ(usb::close(other), RC_OK);
    EXPECT_EQ(usb::close(handle), RC_OK);
    EXPECT_EQ(openDevice(), handle) << "close released the slot";
    EXPECT_EQ(usb::close(handle), RC_OK);
}

TEST_F(UsbSlotTest, UnpluggedDeviceFailsReceiveAndSend) {
    BareDevice device(plat::kGuidVariant0);
    const int handle = openDevice();
    int bytes = 0;
    ASSERT_EQ(receive(handle, &bytes), RC_TIMEOUT);
    simdrv::removeDevice(device.id());
    EXPECT_EQ(receive(handle, &bytes), RC_ERROR) << "the pending read failed";
    char data[24] = {};
    EXPECT_EQ(usb::send(handle, sizeof data, data), RC_NOT_CONNECTED);
    EXPECT_EQ(receive(handle, &bytes), RC_NOT_CONNECTED) << "the driver refuses a new read";
    EXPECT_EQ(usb::close(handle), RC_OK);
}

}  // namespace
