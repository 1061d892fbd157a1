// Opening, closing and writing through the libusb transport, and how it
// reacts to a controller that fails or goes away.
#include <cerrno>
#include <thread>

#include "test_support.h"
#include "usb_fixture.h"

using namespace usbtest;
using test_support::captureStderr;

namespace {

class UsbDevice : public UsbLibTest {};

TEST_F(UsbDevice, ClosedDeviceRefusesTransfersAndTouchesNothing) {
    EXPECT_STREQ(device->name(), "USB");
    EXPECT_EQ(device->transport(), transport::kUsbDevice);
    EXPECT_EQ(device->resync(), RC_OK);
    const Bytes t = tell(1, 1);
    EXPECT_EQ(device->send(static_cast<int>(t.size()), t.data()), RC_NOT_CONNECTED);
    EXPECT_EQ(take().result, RC_NOT_CONNECTED);
    EXPECT_EQ(device->disconnect(), RC_OK);
    const fake_libusb::Stats s = fake_libusb::stats(fake);
    EXPECT_EQ(s.opens, 0);
    EXPECT_EQ(s.reads, 0);
    EXPECT_TRUE(s.written.empty());
}

TEST_F(UsbDevice, ConnectTwiceOpensOnceAndRunsOneReader) {
    ASSERT_EQ(device->connect(), RC_OK);
    EXPECT_TRUE(device->link().connected);
    EXPECT_EQ(device->connect(), RC_OK);
    fake_libusb::pushTransfer(fake, tell(1, 1));
    fake_libusb::pushTransfer(fake, tell(2, 2));
    EXPECT_EQ(take().bytes, tell(1, 1));
    EXPECT_EQ(take().bytes, tell(2, 2));
    ASSERT_EQ(device->disconnect(), RC_OK);
    const fake_libusb::Stats s = fake_libusb::stats(fake);
    EXPECT_EQ(s.opens, 1);
    EXPECT_EQ(s.claims, 1);
    EXPECT_EQ(s.releases, 1);
    EXPECT_EQ(s.openHandles, 0);
    EXPECT_EQ(s.maxParallelReads, 1);
    EXPECT_FALSE(device->link().connected);
    // Reconnecting starts a fresh reader.
    ASSERT_EQ(device->connect(), RC_OK);
    fake_libusb::pushTransfer(fake, tell(3, 3));
    EXPECT_EQ(take().bytes, tell(3, 3));
}

TEST_F(UsbDevice, InterfaceHeldElsewhereIsDeviceLockedWithoutMessage) {
    fake_libusb::setClaimResult(fake, -EBUSY);
    int result = 0;
    EXPECT_EQ(captureStderr([&] { result = device->connect(); }), "");
    EXPECT_EQ(result, RC_DEVICE_LOCKED);
    EXPECT_FALSE(device->link().connected);
    const fake_libusb::Stats s = fake_libusb::stats(fake);
    EXPECT_EQ(s.opens, 1);
    EXPECT_EQ(s.closes, 1);  // the handle was closed again
    EXPECT_EQ(s.releases, 0);
    EXPECT_EQ(s.reads, 0);
}

TEST_F(UsbDevice, OpenAndClaimFailuresAreReported) {
    fake_libusb::setClaimResult(fake, -EIO);
    int result = 0;
    std::string err = captureStderr([&] { result = device->connect(); });
    EXPECT_EQ(result, RC_ERROR);
    EXPECT_NE(err.find("usb_claim_interface failed: could not claim interface 0: Input/output error."),
              std::string::npos)
        << err;
    EXPECT_EQ(fake_libusb::stats(fake).openHandles, 0);

    fake_libusb::setOpenFails(fake, true);
    err = captureStderr([&] { result = device->connect(); });
    EXPECT_EQ(result, RC_ERROR);
    EXPECT_NE(err.find("ERROR: usb_open failed."), std::string::npos) << err;
    EXPECT_FALSE(device->link().connected);
}

TEST_F(UsbDevice, FailedReleaseStillClosesTheHandle) {
    ASSERT_EQ(device->connect(), RC_OK);
    fake_libusb::setReleaseResult(fake, -ENODEV);
    int result = 0;
    const std::string err = captureStderr([&] { result = device->disconnect(); });
    EXPECT_EQ(result, RC_ERROR);
    EXPECT_NE(err.find("usb_release_interface failed: "), std::string::npos) << err;
    EXPECT_EQ(fake_libusb::stats(fake).openHandles, 0);
    EXPECT_FALSE(device->link().connected);
}

TEST_F(UsbDevice, ReadFailureClosesTheDeviceAndIsReportedOnce) {
    ASSERT_EQ(device->connect(), RC_OK);
    std::string err = captureStderr([&] {
        fake_libusb::pushReadResult(fake, -EIO);
        EXPECT_EQ(take().result, RC_DRIVER_ERROR);
    });
    EXPECT_NE(err.find("usb_bulk_read failed: error reaping URB: Input/output error."), std::string::npos)
        << err;
    EXPECT_EQ(take().result, RC_NOT_CONNECTED);
    EXPECT_FALSE(device->link().connected);
    EXPECT_EQ(fake_libusb::stats(fake).openHandles, 0);
}

TEST_F(UsbDevice, ReadFailureBeforeAnyReceiveIsStillReportedOnce) {
    ASSERT_EQ(device->connect(), RC_OK);
    captureStderr([&] {
        fake_libusb::pushReadResult(fake, -EPIPE);
        for (int i = 0; i < 200 && fake_libusb::stats(fake).openHandles != 0; ++i) IThread::sleep(5);
    });
    ASSERT_EQ(fake_libusb::stats(fake).openHandles, 0);  // the reader closed it
    EXPECT_EQ(take().result, RC_DRIVER_ERROR);
    EXPECT_EQ(take().result, RC_NOT_CONNECTED);
}

TEST_F(UsbDevice, ControllerUnpluggedDuringAPendingRead) {
    // Reads wait their own time limit here, so that the unplug below falls
    // inside a pending read rather than between two capped ones.
    fake_libusb::setReadWaitCap(fake, 0);
    ASSERT_EQ(device->connect(), RC_OK);
    fake_libusb::pushTransfer(fake, tell(5, 5));
    ASSERT_EQ(take().bytes, tell(5, 5));
    ASSERT_TRUE(fake_libusb::waitForReads(fake, 2, 2000));  // the next read is pending
    int first = 0;
    const std::string err = captureStderr([&] {
        std::thread unplugger([this] {
            IThread::sleep(50);
            fake_libusb::unplug(fake);
        });
        first = take().result;
        unplugger.join();
    });
    EXPECT_EQ(first, RC_DRIVER_ERROR);
    EXPECT_NE(err.find("usb_bulk_read failed: "), std::string::npos) << err;
    EXPECT_EQ(take().result, RC_NOT_CONNECTED);
    const Bytes t = tell(1, 1);
    EXPECT_EQ(device->send(static_cast<int>(t.size()), t.data()), RC_NOT_CONNECTED);
    const fake_libusb::Stats s = fake_libusb::stats(fake);
    EXPECT_EQ(s.openHandles, 0);
    EXPECT_EQ(s.readsOnClosed, 0);  // the reader stopped after the failure
}

TEST_F(UsbDevice, DestroyingAnOpenDeviceStopsTheReaderFirst) {
    ASSERT_EQ(device->connect(), RC_OK);
    ASSERT_TRUE(fake_libusb::waitForReads(fake, 1, 2000));
    device.reset();  // a read is pending inside the reader right now
    EXPECT_EQ(fake_libusb::stats(fake).openHandles, 0);
}

TEST_F(UsbDevice, WriteHandsTheTelegramToTheEndpoint) {
    ASSERT_EQ(device->connect(), RC_OK);
    const Bytes t = tell(1045, 99);
    ASSERT_EQ(device->send(static_cast<int>(t.size()), t.data()), RC_OK);
    const fake_libusb::Stats s = fake_libusb::stats(fake);
    ASSERT_EQ(s.written.size(), 1u);
    EXPECT_EQ(s.written[0], t);
    EXPECT_EQ(device->send(-1, t.data()), RC_INVALID_PARAM);
    EXPECT_EQ(device->send(4, nullptr), RC_INVALID_PARAM);
}

TEST_F(UsbDevice, WriteFailuresAndShortWrites) {
    struct Case {
        int writeResult;
        int expected;
        const char* message;
        bool staysOpen;
    } cases[] = {
        {-EIO, RC_ERROR, "usb_bulk_write failed: error reaping URB: Input/output error.", false},
        {-ETIMEDOUT, RC_TIMEOUT, "usb_bulk_write failed: error reaping URB: Connection timed out.", false},
        {10, RC_ERROR, "usb_bulk_write transferred 10 bytes of 24.", true},
    };
    const Bytes t = tell(1045, 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        ASSERT_EQ(device->connect(), RC_OK);
        fake_libusb::pushWriteResult(fake, c.writeResult);
        int result = 0;
        const std::string err =
            captureStderr([&] { result = device->send(static_cast<int>(t.size()), t.data()); });
        EXPECT_EQ(result, c.expected);
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        EXPECT_EQ(bool(device->link().connected), c.staysOpen);
        EXPECT_EQ(fake_libusb::stats(fake).openHandles, c.staysOpen ? 1 : 0);
        device->disconnect();
    }
}

// A send that races with the reader closing the device after a failed read
// must never use the closed handle (ASan and TSan watch this one).
TEST_F(UsbDevice, SendsWhileTheReaderClosesTheDevice) {
    for (int round = 0; round < 20; ++round) {
        ASSERT_EQ(device->connect(), RC_OK);
        std::atomic<bool> done{false}, sending{false};
        std::thread sender([&] {
            const Bytes t = tell(1, round);
            while (!done) {
                if (device->send(static_cast<int>(t.size()), t.data()) == RC_NOT_CONNECTED) break;
                sending = true;
            }
        });
        while (!sending) std::this_thread::yield();
        captureStderr([&] {
            fake_libusb::pushReadResult(fake, -EIO);
            EXPECT_EQ(take().result, RC_DRIVER_ERROR);
        });
        done = true;
        sender.join();
        EXPECT_EQ(fake_libusb::stats(fake).openHandles, 0);
    }
}

}  // namespace
