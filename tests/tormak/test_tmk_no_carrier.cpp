// A process that finds no controller at all: TMK_presence reports the USB
// count's result and searches both carriers again on the next call, until
// one is found; then only that carrier is searched.
#include <gtest/gtest.h>

#include "net_peers.h"
#include "net_setup.h"
#include "test_support.h"
#include "tormak.h"
#include "usb_bench.h"

using test_support::captureStderr;

namespace {

TEST(TmkNoCarrier, SearchesBothCarriersUntilOneIsFound) {
    TMK_initTrace(nullptr);
    REQUIRE_PRIVATE_NETWORK();
    plat::simdrv::removeAllDevices();
    int count = 77;
    // Without a multicast route the probe cannot be sent at all.
    std::string err = captureStderr([&] { EXPECT_EQ(TMK_presence(&count, false), RC_NOT_CONNECTED); });
    EXPECT_NE(err.find("ERROR: Searching controller: sendto() failed - WSA_Error #101.\n"), std::string::npos)
        << err;
    EXPECT_EQ(count, 77);

    ASSERT_TRUE(bench::routeMulticastOverLoopback());
    peers::ProbeResponder listener("224.0.5.128", 2362, {});  // hears, never answers
    ASSERT_TRUE(listener.ready());
    for (int call = 1; call <= 2; ++call) {
        EXPECT_EQ(TMK_presence(&count, true), RC_NOT_CONNECTED) << call;
        EXPECT_EQ(count, 77);
        EXPECT_EQ(listener.probes().size(), static_cast<size_t>(call)) << "Ethernet searched again";
        EXPECT_EQ(TMK_getTransferSize(0), -1);
        int handle = 5;
        EXPECT_EQ(TMK_init(0, &handle), RC_ERROR);
    }

    bench::BareDevice usb(plat::kGuidVariant1);
    ASSERT_EQ(TMK_presence(&count, true), RC_OK) << "USB searched again and chosen";
    EXPECT_EQ(count, 1);
    EXPECT_EQ(TMK_getTransferSize(0), 512);
    ASSERT_EQ(TMK_presence(&count, false), RC_OK);
    EXPECT_EQ(count, 0) << "the variant-1 device is counted only when asked for";
    plat::simdrv::removeDevice(usb.id());
    EXPECT_EQ(TMK_presence(&count, true), RC_NOT_CONNECTED);
    EXPECT_EQ(listener.probes().size(), 2u) << "no Ethernet search once USB is chosen";
}

}  // namespace
