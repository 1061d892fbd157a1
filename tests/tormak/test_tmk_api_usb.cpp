// The TMK_ functions over USB, against controller simulators plugged into
// the simulated kernel driver. The carrier is chosen once per process: the
// first test runs before any device exists and the rest run with USB
// chosen (tests of this file run in the order written).
#include <gtest/gtest.h>

#include <cstring>

#include "connect/usb_slot.h"
#include "wire/telegram.h"
#include "test_support.h"
#include "tormak.h"
#include "trace.h"
#include "usb_bench.h"

using bench::UsbController;
using test_support::captureStderr;
using test_support::elapsedMs;
namespace simdrv = plat::simdrv;

extern "C" int tmkTransferSizeFromC(void);

namespace {

constexpr int32_t kType = 0x5123;
constexpr int32_t kId = 4711;

class TmkUsbTest : public ::testing::Test {
protected:
    void SetUp() override { TMK_initTrace(nullptr); }
    void TearDown() override { EXPECT_EQ(simdrv::openHandleCount(), baseline); }

    // Counts the devices; with withVariant the variant-1 device is first.
    int presence(bool withVariant) {
        int count = -1;
        EXPECT_EQ(TMK_presence(&count, withVariant), RC_OK);
        return count;
    }
    int init(int deviceNo) {
        int handle = -9;
        EXPECT_EQ(TMK_init(deviceNo, &handle), RC_OK);
        return handle;
    }

    int baseline = simdrv::openHandleCount();
};

TEST_F(TmkUsbTest, EverythingFailsBeforeTheCarrierIsChosen) {
    simdrv::removeAllDevices();
    EXPECT_EQ(TMK_getTransferSize(0), -1);
    EXPECT_EQ(tmkTransferSizeFromC(), -1);
    int handle = 55, value = 55;
    char buffer[512] = {};
    EXPECT_EQ(TMK_init(0, &handle), RC_ERROR);
    EXPECT_EQ(handle, 55);
    EXPECT_EQ(TMK_send(0, 20, buffer), RC_ERROR);
    EXPECT_EQ(TMK_recv(0, 512, buffer), RC_ERROR);
    EXPECT_EQ(TMK_cancelIo(0), RC_ERROR);
    EXPECT_EQ(TMK_startSync(0), RC_ERROR);
    EXPECT_EQ(TMK_shutdown(0), RC_ERROR);
    EXPECT_EQ(TMK_getType(0, &value), RC_ERROR);
    EXPECT_EQ(value, 55);
}

TEST_F(TmkUsbTest, VariantDevicesLeadTheNumberingOnlyWhenAskedFor) {
    UsbController variant1(plat::kGuidVariant1);
    UsbController variant0(plat::kGuidVariant0, kType, kId);
    EXPECT_EQ(TMK_getTransferSize(-3), -1);
    EXPECT_EQ(presence(false), 1);
    EXPECT_EQ(TMK_getTransferSize(-3), 512) << "USB chosen; the handle is not examined";
    EXPECT_EQ(tmkTransferSizeFromC(), 512);
    int handle = init(0);
    int type = 0, id = 0;
    EXPECT_EQ(TMK_getType(handle, &type), RC_OK);
    EXPECT_EQ(type, kType) << "number 0 is the variant-0 device";
    EXPECT_EQ(TMK_getId(handle, &id), RC_OK);
    EXPECT_EQ(id, kId);
    EXPECT_EQ(TMK_shutdown(handle), RC_OK);
    EXPECT_EQ(TMK_getType(handle, &type), RC_ERROR) << "after shutdown";

    EXPECT_EQ(presence(true), 2);
    const int variantHandle = init(0);
    const int plainHandle = init(1);
    EXPECT_NE(variantHandle, plainHandle);
    type = 0;
    EXPECT_EQ(TMK_getType(variantHandle, &type), RC_OK);
    EXPECT_EQ(type, -1);
    EXPECT_EQ(TMK_getId(variantHandle, &id), RC_OK);
    EXPECT_EQ(id, -1);
    EXPECT_TRUE(variant1.sim().received().empty()) << "a variant-1 device is not asked";
    EXPECT_EQ(TMK_getType(plainHandle, &type), RC_OK);
    EXPECT_EQ(type, kType);
    EXPECT_EQ(TMK_getType(plainHandle, nullptr), RC_OK) << "a null output is allowed";
    EXPECT_EQ(TMK_getType(98, &type), RC_ERROR) << "never opened";

    // USB needs no resynchronisation: nothing is sent.
    variant0.sim().clearReceived();
    EXPECT_EQ(TMK_startSync(plainHandle), RC_OK);
    EXPECT_EQ(TMK_cancelIo(variantHandle), RC_OK);
    EXPECT_EQ(TMK_shutdown(variantHandle), RC_OK);
    EXPECT_EQ(TMK_shutdown(plainHandle), RC_OK);
    EXPECT_TRUE(variant0.sim().received().empty());

    int count = 77;
    simdrv::removeAllDevices();
    EXPECT_EQ(TMK_presence(&count, true), RC_NOT_CONNECTED) << "USB stays chosen";
    EXPECT_EQ(count, 77);
}

TEST_F(TmkUsbTest, RawTelegramsBothWays) {
    UsbController controller(plat::kGuidVariant0);
    ASSERT_EQ(presence(false), 1);
    const int handle = init(0);
    UcTelegram request;
    const int size = uc::buildGet(request, 1025, 3, 1);
    EXPECT_EQ(TMK_send(handle, size, &request), RC_OK);
    UcTelegram reply;
    int result = RC_TIMEOUT;
    for (int i = 0; i < 6 && result == RC_TIMEOUT; ++i) result = TMK_recv(handle, 0, &reply);
    ASSERT_EQ(result, RC_OK);
    EXPECT_EQ(uc::opcode(reply), UC_OP_ACK);
    EXPECT_EQ(uc::address(reply), 1025);
    EXPECT_EQ(uc::index(reply), 3);
    EXPECT_EQ(uc::ackValue(reply), 1000) << "the simulator's preset frequency";
    EXPECT_EQ(TMK_send(handle, -1, &request), RC_ERROR);
    EXPECT_EQ(TMK_send(handle, 20, nullptr), RC_ERROR);
    EXPECT_EQ(TMK_recv(handle, 512, nullptr), RC_ERROR);
    EXPECT_EQ(TMK_shutdown(handle), RC_OK);
}

TEST_F(TmkUsbTest, CancelledHandleAndHandlesOutsideTheTable) {
    UsbController controller(plat::kGuidVariant0);
    ASSERT_EQ(presence(false), 1);
    const int handle = init(0);
    char buffer[512];
    EXPECT_EQ(TMK_cancelIo(handle), RC_OK);
    EXPECT_EQ(TMK_recv(handle, 512, buffer), RC_ERROR);
    EXPECT_EQ(TMK_send(handle, 20, buffer), RC_NOT_CONNECTED);
    EXPECT_EQ(TMK_shutdown(handle), RC_OK);
    for (int bad : {-1, tmk::usb::kSlotCount, -100000}) {
        EXPECT_EQ(TMK_send(bad, 20, buffer), RC_NOT_CONNECTED) << bad;
        EXPECT_EQ(TMK_recv(bad, 512, buffer), RC_NOT_CONNECTED) << bad;
        EXPECT_EQ(TMK_cancelIo(bad), RC_NOT_CONNECTED) << bad;
        EXPECT_EQ(TMK_shutdown(bad), RC_NOT_CONNECTED) << bad;
    }
}

// Sits through two 2000 ms pauses: one silent, one traced.
TEST_F(TmkUsbTest, OutOfTurnSyncReportPausesAndReportsTimeout) {
    UsbController controller(plat::kGuidVariant0);
    ASSERT_EQ(presence(false), 1);
    const int handle = init(0);
    UcTelegram buffer;
    for (bool traced : {false, true}) {
        if (traced)
            TMK_initTrace(nullptr);
        else
            traceInit(static_cast<TraceParams*>(nullptr));
        controller.sim().setFault(sim::Controller::Fault::OutOfStepTell, true);
        int result = -9;
        long long ms = 0;
        std::string err =
            captureStderr([&] { ms = elapsedMs([&] { result = TMK_recv(handle, 512, &buffer); }); });
        EXPECT_EQ(result, RC_TIMEOUT);
        EXPECT_GE(ms, 1950);
        EXPECT_LT(ms, 3000);
        if (traced)
            EXPECT_EQ(err, "ERROR: Controller is out of sync, sleeping.\n");
        else
            EXPECT_EQ(err, "") << "nothing is written before the trace is set up";
    }
    EXPECT_EQ(TMK_shutdown(handle), RC_OK);
}

// Sits through the 3000 ms register read limit.
TEST_F(TmkUsbTest, RegisterReadOfASilentControllerIsBounded) {
    UsbController controller(plat::kGuidVariant0);
    ASSERT_EQ(presence(false), 1);
    const int handle = init(0);
    controller.sim().setFault(sim::Controller::Fault::Silent, true);
    int id = 123, result = -9;
    long long ms = elapsedMs([&] { result = TMK_getId(handle, &id); });
    EXPECT_EQ(result, RC_TIMEOUT);
    EXPECT_EQ(id, 123) << "no value without an answer";
    EXPECT_GE(ms, 2950);
    EXPECT_LT(ms, 4500);
    auto received = controller.sim().received();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].opcode, UC_OP_GET);
    EXPECT_EQ(received[0].address, REG_CONTROLLER_ID);
    EXPECT_EQ(received[0].correlation, 1);
    EXPECT_EQ(TMK_shutdown(handle), RC_OK);
}

}  // namespace
