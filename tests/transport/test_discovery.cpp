// Multicast discovery against raw probe responders on 127.0.0.x.
#include <gtest/gtest.h>

#include <arpa/inet.h>

#include "net_peers.h"
#include "test_support.h"
#include "transport/tcp/discovery.h"
#include "trace.h"
#include "transport/tcp/uc_tcp_device.h"
#include "wire/timing.h"

using test_support::captureStderr;
using test_support::elapsedMs;

namespace {

const std::vector<uint8_t> kAddpBytes = {'D', 'I', 'G', 'I', 0, 1, 0, 6, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

std::vector<uint8_t> velorixBytes() {
    const char text[] = "Velorix discovery";
    return std::vector<uint8_t>(text, text + sizeof text);  // with its zero byte
}

struct Search {
    int result = -9;
    int count = 0;
    std::vector<uint32_t> addresses;
    long long ms = 0;
    std::string trace;
};

Search search(bool addp, int capacity = transport::kMaxDiscovered) {
    Search s;
    s.addresses.assign(static_cast<size_t>(capacity) + 1, 0xEEEEEEEE);
    s.count = capacity;
    s.trace = captureStderr([&] {
        s.ms = elapsedMs(
            [&] { s.result = transport::searchControllers(addp, 500, s.addresses.data(), &s.count); });
    });
    return s;
}

class DiscoveryTest : public ::testing::Test {
protected:
    void SetUp() override {
        traceInit(nullptr, "", 0x1FC);
        REQUIRE_PRIVATE_NETWORK();
    }
};

TEST_F(DiscoveryTest, ProbeTableRows) {
    const net::DiscoveryProbe& addp = net::discoveryProbe(true);
    EXPECT_STREQ(addp.group, "224.0.5.128");
    EXPECT_EQ(addp.port, 2362);
    EXPECT_EQ(std::vector<uint8_t>(addp.payload, addp.payload + addp.length), kAddpBytes);
    const net::DiscoveryProbe& velorix = net::discoveryProbe(false);
    EXPECT_STREQ(velorix.group, "239.255.170.171");
    EXPECT_EQ(velorix.port, 7071);
    EXPECT_EQ(std::vector<uint8_t>(velorix.payload, velorix.payload + velorix.length), velorixBytes());
}

TEST_F(DiscoveryTest, NoControllerMeansOneProbeAndOneWait) {
    peers::ProbeResponder listener("224.0.5.128", 2362, {});  // hears, never answers
    ASSERT_TRUE(listener.ready());
    Search s = search(true);
    EXPECT_EQ(s.result, 0);
    EXPECT_EQ(s.count, 0);
    EXPECT_GE(s.ms, 450);
    EXPECT_LT(s.ms, 1200);
    EXPECT_EQ(listener.probes().size(), 1u);
    EXPECT_EQ(s.trace.find("Searching devices on"), std::string::npos) << "one address, no such line";
}

TEST_F(DiscoveryTest, BothProbesArriveByteExact) {
    peers::ProbeResponder addp("224.0.5.128", 2362, {"127.0.0.2"});
    peers::ProbeResponder velorix("239.255.170.171", 7071, {"127.0.0.3"});
    ASSERT_TRUE(addp.ready() && velorix.ready());
    Search a = search(true);
    ASSERT_EQ(a.count, 1);
    EXPECT_EQ(a.addresses[0], peers::ipv4("127.0.0.2"));
    Search v = search(false);
    ASSERT_EQ(v.count, 1);
    EXPECT_EQ(v.addresses[0], peers::ipv4("127.0.0.3"));
    ASSERT_EQ(addp.probes().size(), 1u);
    EXPECT_EQ(addp.probes()[0].payload, kAddpBytes);
    ASSERT_EQ(velorix.probes().size(), 1u);
    EXPECT_EQ(velorix.probes()[0].payload, velorixBytes());
}

TEST_F(DiscoveryTest, ThreeControllersAndRepeatedAnswersAreAllKept) {
    peers::ProbeResponder three("239.255.170.171", 7071, {"127.0.0.2", "127.0.0.3", "127.0.0.4"});
    ASSERT_TRUE(three.ready());
    Search s = search(false);
    EXPECT_EQ(s.result, 0);
    ASSERT_EQ(s.count, 3);
    EXPECT_EQ(s.addresses[0], peers::ipv4("127.0.0.2"));
    EXPECT_EQ(s.addresses[1], peers::ipv4("127.0.0.3"));
    EXPECT_EQ(s.addresses[2], peers::ipv4("127.0.0.4"));
    // The cycles after a reply are ever shorter; all waits add up to < 1 s.
    EXPECT_LT(s.ms, 1300);
}

// Replies 50 ms apart keep every wait from running out, down to the floor
// of the waits; the search still ends at its limit.
TEST_F(DiscoveryTest, HostThatKeepsReplyingHoldsTheSearchOnlyUntilItsLimit) {
    peers::ProbeResponder chatty("224.0.5.128", 2362, {"127.0.0.2"}, 200, "x", 50);
    ASSERT_TRUE(chatty.ready());
    Search s = search(true);
    EXPECT_EQ(s.result, 0);
    EXPECT_GE(s.ms, uc::kSearchLimitMs - 50);
    EXPECT_LT(s.ms, uc::kSearchLimitMs + 300);
    EXPECT_GT(s.count, 20) << "replies are read until the limit";
    EXPECT_LT(s.count, 200);
}

TEST_F(DiscoveryTest, TwiceAnsweringControllerIsListedTwice) {
    peers::ProbeResponder twice("224.0.5.128", 2362, {"127.0.0.2"}, 2, "!");  // one-byte replies
    ASSERT_TRUE(twice.ready());
    Search s = search(true);
    ASSERT_EQ(s.count, 2);
    EXPECT_EQ(s.addresses[0], peers::ipv4("127.0.0.2"));
    EXPECT_EQ(s.addresses[1], peers::ipv4("127.0.0.2"));
}

TEST_F(DiscoveryTest, CapacityBoundsTheStoredAddresses) {
    peers::ProbeResponder three("224.0.5.128", 2362, {"127.0.0.2", "127.0.0.3", "127.0.0.4"});
    ASSERT_TRUE(three.ready());
    Search s = search(true, 2);
    EXPECT_EQ(s.result, 0);
    EXPECT_EQ(s.count, 2);
    EXPECT_EQ(s.addresses[2], 0xEEEEEEEE) << "nothing stored past the capacity";
}

TEST_F(DiscoveryTest, EveryLocalAddressGetsAProbeAndATraceLine) {
    peers::ExtraAddress five("127.0.0.5"), six("127.0.0.6");
    ASSERT_TRUE(five.added() && six.added());
    uint32_t local[transport::kMaxLocalAddresses];
    int count = transport::kMaxLocalAddresses;
    std::string trace = captureStderr([&] { EXPECT_EQ(transport::listLocalAddresses(local, &count), 0); });
    ASSERT_EQ(count, 3);
    EXPECT_EQ(local[0], peers::ipv4("127.0.0.1"));
    EXPECT_EQ(local[1], peers::ipv4("127.0.0.5"));
    EXPECT_EQ(local[2], peers::ipv4("127.0.0.6"));
    int capacityTwo = 2;
    captureStderr([&] { EXPECT_EQ(transport::listLocalAddresses(local, &capacityTwo), 0); });
    EXPECT_EQ(capacityTwo, 2);

    peers::ProbeResponder listener("224.0.5.128", 2362, {"127.0.0.2"});
    ASSERT_TRUE(listener.ready());
    Search s = search(true);
    for (const char* address : {"127.0.0.1", "127.0.0.5", "127.0.0.6"}) {
        std::string line = std::string("Searching devices on ") + address + ".\n";
        EXPECT_NE(s.trace.find(line), std::string::npos) << s.trace;
    }
    EXPECT_EQ(listener.probes().size(), 3u);
    EXPECT_EQ(s.count, 3) << "one reply per probe socket";
}

TEST_F(DiscoveryTest, DiscoverAppendsTcpDevicesInReplyOrder) {
    peers::ProbeResponder two("239.255.170.171", 7071, {"127.0.0.3", "127.0.0.2"});
    ASSERT_TRUE(two.ready());
    UcDeviceList list;
    list.push_back(std::make_shared<UcTcpDevice>(peers::ipv4("127.0.0.9"), transport::Route::Addp));
    captureStderr([&] { EXPECT_EQ(transport::discoverTcpDevices(list, false), 0); });
    EXPECT_TRUE(net::socketsStarted());
    ASSERT_EQ(list.size(), 3u);
    EXPECT_STREQ(list[1]->name(), "127.0.0.3");
    EXPECT_STREQ(list[2]->name(), "127.0.0.2");
    EXPECT_EQ(list[1]->transport(), transport::kTcpDevice);
    EXPECT_EQ(list[1]->origin().route, transport::Route::Velorix);
    EXPECT_FALSE(list[1]->link().connected);
}

}  // namespace
