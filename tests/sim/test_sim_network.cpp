// The simulated controller on the network, seen by raw TCP clients and a
// UDP prober inside a private network namespace.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <set>
#include <thread>

#include "sim_controller.h"
#include "sim_test_util.h"
#include "telegram_bytes.h"
#include "test_support.h"
#include "uc_telegram.h"

using simtest::Bytes;
using simtest::RawClient;
using simtest::word;
using Fault = sim::Controller::Fault;

namespace {

const char kAddpGroup[] = "224.0.5.128";
const char kVelorixGroup[] = "239.255.170.171";

sim::Options at(const std::string& address, int tellIntervalMs = 0) {
    sim::Options o;
    o.address = address;
    o.tellIntervalMs = tellIntervalMs;
    return o;
}

Bytes addpProbe() {
    return {0x44, 0x49, 0x47, 0x49, 0x00, 0x01, 0x00, 0x06, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
}
Bytes velorixProbe() {
    const char text[] = "Velorix discovery";
    return Bytes(text, text + sizeof text);
}

std::multiset<std::string> sources(const std::vector<simtest::ProbeReply>& replies) {
    std::multiset<std::string> out;
    for (const auto& r : replies) out.insert(r.source);
    return out;
}

long long msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
        .count();
}

// One controller on 127.0.0.2 and a raw client connected to it.
class NetSim : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_PRIVATE_NETWORK();
        ASSERT_TRUE(controller.start());
        ASSERT_TRUE(client.connect("127.0.0.2"));
    }
    Bytes ask(const Bytes& request) {
        Bytes reply;
        EXPECT_TRUE(client.send(request));
        EXPECT_TRUE(client.receiveTelegram(reply, 2000));
        return reply;
    }

    sim::Controller controller{at("127.0.0.2")};
    RawClient client;
};

TEST(NetSimProbes, EveryControllerAnswersBothProbesFromItsOwnAddress) {
    REQUIRE_PRIVATE_NETWORK();
    sim::Controller a(at("127.0.0.2")), b(at("127.0.0.3"));
    ASSERT_TRUE(a.start());
    ASSERT_TRUE(b.start());
    const std::multiset<std::string> both = {"127.0.0.2", "127.0.0.3"};

    auto replies = simtest::probe(kAddpGroup, 2362, addpProbe(), 300);
    EXPECT_EQ(sources(replies), both);
    for (const auto& r : replies) {
        ASSERT_GE(r.payload.size(), 6u);
        EXPECT_EQ(Bytes(r.payload.begin(), r.payload.begin() + 6), (Bytes{'D', 'I', 'G', 'I', 0, 2}));
    }
    EXPECT_EQ(sources(simtest::probe(kVelorixGroup, 7071, velorixProbe(), 300)), both);

    EXPECT_EQ(a.probesReceived(true), std::vector<Bytes>{addpProbe()});
    EXPECT_EQ(b.probesReceived(false), std::vector<Bytes>{velorixProbe()});
}

TEST(NetSimProbes, OtherDatagramsAndSwitchedOffProbesAreNotAnswered) {
    REQUIRE_PRIVATE_NETWORK();
    sim::Options o = at("127.0.0.4");
    o.answerVelorix = false;
    sim::Controller c(o);
    ASSERT_TRUE(c.start());
    EXPECT_TRUE(simtest::probe(kVelorixGroup, 7071, velorixProbe(), 200).empty());
    EXPECT_TRUE(simtest::probe(kAddpGroup, 2362, Bytes{'h', 'e', 'l', 'l', 'o'}, 200).empty());
    EXPECT_EQ(c.probesReceived(false).size(), 1u);
    EXPECT_EQ(c.probesReceived(true), std::vector<Bytes>{(Bytes{'h', 'e', 'l', 'l', 'o'})});
    EXPECT_EQ(sources(simtest::probe(kAddpGroup, 2362, addpProbe(), 200)),
              std::multiset<std::string>{"127.0.0.4"});
}

TEST(NetSimLifecycle, StartFailsCleanlyAndStopClosesEverything) {
    REQUIRE_PRIVATE_NETWORK();
    auto first = std::make_unique<sim::Controller>(at("127.0.0.5"));
    ASSERT_TRUE(first->start());
    sim::Controller clash(at("127.0.0.5"));
    EXPECT_FALSE(clash.start());
    sim::Controller bad(at("not-an-address"));
    EXPECT_FALSE(bad.start());

    RawClient client;
    ASSERT_TRUE(client.connect("127.0.0.5"));
    first.reset();
    EXPECT_TRUE(client.closedWithin(1000));
    RawClient late;
    EXPECT_FALSE(late.connect("127.0.0.5"));
    // The address is free again.
    sim::Controller again(at("127.0.0.5"));
    EXPECT_TRUE(again.start());
}

TEST_F(NetSim, RequestsAreAnsweredByteExact) {
    EXPECT_EQ(ask(simtest::getRequest(359, 0, 1)), simtest::ackBytes(359, 0, 1, 0, 0x5000));
    EXPECT_EQ(ask(simtest::setRequest(1300, 2, -40, 0)), simtest::ackBytes(1300, 2, 0, 0, -40));
    EXPECT_EQ(ask(simtest::getRequest(1300, 2, 7)), simtest::ackBytes(1300, 2, 7, 0, -40));
    EXPECT_EQ(ask(simtest::getRequest(777, 0, 1)), simtest::ackBytes(777, 0, 1, 1, 0));
    ask(simtest::setRequest(362, 0, 2222));
    ask(simtest::setRequest(367, 0, 0x5A3C));
    EXPECT_EQ(ask(simtest::getRequest(360, 0, 1)), simtest::ackBytes(360, 0, 1, 0, 2222));
    ASSERT_TRUE(controller.waitForReceived(7, 1000));
    EXPECT_EQ(controller.received()[3].address, 777);
}

TEST_F(NetSim, ConnectionsAreServedSideBySide) {
    RawClient second;
    ASSERT_TRUE(second.connect("127.0.0.2"));
    Bytes reply;
    ASSERT_TRUE(second.send(simtest::getRequest(360, 0, 1)));
    ASSERT_TRUE(second.receiveTelegram(reply, 1000));
    EXPECT_EQ(word(reply, 6), 1000);
    EXPECT_EQ(ask(simtest::getRequest(359, 0, 1)), simtest::ackBytes(359, 0, 1, 0, 0x5000));
    EXPECT_TRUE(second.receiveSome(50).empty()) << "replies go only to the asker";

    controller.sendTell(1385, 1, 42);
    for (RawClient* c : {&client, &second}) {
        ASSERT_TRUE(c->receiveTelegram(reply, 1000));
        EXPECT_EQ(reply.size(), 24u);
        EXPECT_EQ(word(reply, 1), UC_OP_TELL);
        EXPECT_EQ(word(reply, 5), 42);
    }
    EXPECT_EQ(controller.connectionsAccepted(), 2);
    second.close();
    for (int i = 0; i < 100 && controller.connectionsOpen() != 1; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(controller.connectionsOpen(), 1);
}

TEST_F(NetSim, TheOldestConnectionMakesRoomWhenAllAreTaken) {
    std::vector<std::unique_ptr<RawClient>> more;
    for (int i = 1; i < sim::kMaxConnections; ++i) {
        more.push_back(std::make_unique<RawClient>());
        ASSERT_TRUE(more.back()->connect("127.0.0.2"));
    }
    for (int i = 0; i < 100 && controller.connectionsAccepted() < sim::kMaxConnections; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    RawClient extra;
    ASSERT_TRUE(extra.connect("127.0.0.2"));
    EXPECT_TRUE(client.closedWithin(1000));
    Bytes reply;
    ASSERT_TRUE(extra.send(simtest::getRequest(359, 0, 1)));
    EXPECT_TRUE(extra.receiveTelegram(reply, 1000));
}

TEST(NetSimReports, TellsArriveAtTheIntervalAndShowTheMotion) {
    REQUIRE_PRIVATE_NETWORK();
    sim::Controller c(at("127.0.0.2", 25));
    ASSERT_TRUE(c.start());
    RawClient client;
    ASSERT_TRUE(client.connect("127.0.0.2"));
    Bytes t;
    ASSERT_TRUE(client.receiveUntil(UC_OP_TELL, 1045, t, 1000));
    auto start = std::chrono::steady_clock::now();
    int reports = 0;
    while (msSince(start) < 250) {
        ASSERT_TRUE(client.receiveTelegram(t, 500));
        EXPECT_EQ(word(t, 1), UC_OP_TELL);
        EXPECT_EQ(word(t, 4), 0);
        if (word(t, 2) == 1045 && word(t, 3) == 5) ++reports;
    }
    EXPECT_GE(reports, 8);
    EXPECT_LE(reports, 12);

    // An absolute move on axis 5 as the reports show it.
    ASSERT_TRUE(client.send(simtest::setRequest(1032, 5, 30000)));
    ASSERT_TRUE(client.send(simtest::setRequest(1037, 5, 1)));
    bool reached = false;
    int32_t position = 0;
    start = std::chrono::steady_clock::now();
    while (!reached && msSince(start) < 2000 && client.receiveTelegram(t, 500)) {
        if (word(t, 1) != UC_OP_TELL || word(t, 3) != 5) continue;
        if (word(t, 2) == 1045) position = word(t, 5);
        if (word(t, 2) == 1028) reached = word(t, 5) & sim::kStatusTargetReached;
    }
    EXPECT_TRUE(reached);
    EXPECT_EQ(position, 30000);
}

TEST_F(NetSim, CapacityMeasurementTellsTheResult) {
    ask(simtest::setRequest(1310, 0, 1));
    Bytes t;
    ASSERT_TRUE(client.receiveTelegram(t, 1000));
    EXPECT_EQ(t.size(), 24u);
    EXPECT_EQ(word(t, 1), UC_OP_TELL);
    EXPECT_EQ(word(t, 2), 1385);
    EXPECT_EQ(word(t, 5), 950);
}

TEST_F(NetSim, SilentLateAndSplitReplies) {
    controller.setFault(Fault::Silent, true);
    ASSERT_TRUE(client.send(simtest::getRequest(359, 0, 1)));
    EXPECT_TRUE(client.receiveSome(300).empty());
    EXPECT_EQ(controller.received().size(), 1u);
    controller.setFault(Fault::Silent, false);

    controller.setFault(Fault::Late, true, 200);
    auto start = std::chrono::steady_clock::now();
    Bytes reply = ask(simtest::getRequest(359, 0, 1));
    EXPECT_GE(msSince(start), 195);
    EXPECT_EQ(reply, simtest::ackBytes(359, 0, 1, 0, 0x5000));
    controller.setFault(Fault::Late, false);

    controller.setFault(Fault::SplitSegments, true, 7);
    ASSERT_TRUE(client.send(simtest::getRequest(359, 0, 1)));
    Bytes joined;
    int segments = 0;
    while (joined.size() < 28) {
        Bytes piece = client.receiveSome(500);
        ASSERT_FALSE(piece.empty());
        EXPECT_LE(piece.size(), 21u);
        joined.insert(joined.end(), piece.begin(), piece.end());
        ++segments;
    }
    EXPECT_GE(segments, 2);
    EXPECT_EQ(joined, simtest::ackBytes(359, 0, 1, 0, 0x5000));
}

TEST_F(NetSim, InjectedBytesAsARawClientSeesThem) {
    controller.setFault(Fault::Garbage, true, 3);
    ASSERT_TRUE(client.send(simtest::getRequest(359, 0, 1)));
    Bytes got;
    ASSERT_TRUE(client.receiveExactly(31, got, 1000));
    Bytes expected(3, 0xA5);
    Bytes ack = simtest::ackBytes(359, 0, 1, 0, 0x5000);
    expected.insert(expected.end(), ack.begin(), ack.end());
    EXPECT_EQ(got, expected);

    controller.setFault(Fault::OutOfStepTell, true);
    ASSERT_TRUE(client.receiveExactly(24, got, 1000));
    EXPECT_EQ(word(got, 1), UC_OP_TELL);
    EXPECT_EQ(word(got, 2), 10);

    controller.setFault(Fault::LengthTooLarge, true);
    ASSERT_TRUE(client.receiveExactly(24, got, 1000));
    EXPECT_EQ(word(got, 0), 509);

    controller.setFault(Fault::BadOpcode, true);
    ASSERT_TRUE(client.receiveExactly(20, got, 1000));
    EXPECT_EQ(word(got, 0), 16);
    EXPECT_EQ(word(got, 1), UC_OP_GET);

    const uint8_t raw[] = {1, 2, 3};
    controller.sendRaw(raw, sizeof raw);
    ASSERT_TRUE(client.receiveExactly(3, got, 1000));
    EXPECT_EQ(got, (Bytes{1, 2, 3}));
    EXPECT_TRUE(client.receiveSome(50).empty());
}

TEST_F(NetSim, CloseConnectionNowAndOnTheNextRequest) {
    controller.setFault(Fault::CloseConnection, true);
    EXPECT_TRUE(client.closedWithin(1000));

    ASSERT_TRUE(client.connect("127.0.0.2"));
    EXPECT_EQ(ask(simtest::getRequest(359, 0, 1)).size(), 28u);
    controller.setFault(Fault::CloseConnection, true, 1);
    controller.clearReceived();
    ASSERT_TRUE(client.send(simtest::getRequest(360, 0, 1)));
    EXPECT_TRUE(client.closedWithin(1000));
    ASSERT_EQ(controller.received().size(), 1u);
    EXPECT_EQ(controller.received()[0].address, 360);

    ASSERT_TRUE(client.connect("127.0.0.2"));
    EXPECT_EQ(ask(simtest::getRequest(360, 0, 1)), simtest::ackBytes(360, 0, 1, 0, 1000));
    EXPECT_EQ(controller.connectionsAccepted(), 3);
}

TEST_F(NetSim, TellFloodAtItsRate) {
    controller.setFault(Fault::TellFlood, true, 1000);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    controller.setFault(Fault::TellFlood, false);
    int tells = 0;
    Bytes t;
    while (client.receiveTelegram(t, 100)) tells += word(t, 2) == 1045 ? 1 : 0;
    EXPECT_GE(tells, 200);
    EXPECT_LE(tells, 400);
}

// A flood of split telegrams stops with its faults: the controller's own
// telegrams are not held up behind a backlog of pieces, each followed by a
// pause.
TEST_F(NetSim, SplitFloodEndsWithItsFaults) {
    controller.setFault(Fault::SplitSegments, true, 1);
    controller.setFault(Fault::TellFlood, true, 20000);
    Bytes stream;
    const auto start = std::chrono::steady_clock::now();
    while (msSince(start) < 400) {
        Bytes piece = client.receiveSome(50);
        stream.insert(stream.end(), piece.begin(), piece.end());
    }
    const size_t floodBytes = stream.size();
    controller.setFault(Fault::TellFlood, false);
    controller.setFault(Fault::SplitSegments, false);
    const auto off = std::chrono::steady_clock::now();
    controller.sendTell(1031, 0, 4242);
    // The stream is cut anywhere by the pieces: the marker is looked for
    // in the bytes as they come.
    const Bytes marker = test_support::tell(1031, 4242);
    bool marked = false;
    while (!marked && msSince(off) < 3000) {
        Bytes piece = client.receiveSome(100);
        stream.insert(stream.end(), piece.begin(), piece.end());
        marked = std::search(stream.begin(), stream.end(), marker.begin(), marker.end()) != stream.end();
    }
    EXPECT_TRUE(marked) << "the TELL sent after the faults ended did not arrive";
    EXPECT_LT(msSince(off), 1500) << "the flood's pieces held the controller up";
    EXPECT_GT(floodBytes, 24u) << "the split flood sent something";
}

TEST(NetSimSync, ResynchronisationSetQuietensTheStream) {
    REQUIRE_PRIVATE_NETWORK();
    sim::Controller c(at("127.0.0.2", 20));
    ASSERT_TRUE(c.start());
    RawClient client;
    ASSERT_TRUE(client.connect("127.0.0.2"));
    Bytes t;
    ASSERT_TRUE(client.receiveUntil(UC_OP_TELL, 1045, t, 1000));
    ASSERT_TRUE(client.send(simtest::setRequest(10, 0, 0)));
    ASSERT_TRUE(client.receiveUntil(UC_OP_ACK, 10, t, 1000));
    auto quietFrom = std::chrono::steady_clock::now();
    // Reports resume after the quiet time and nothing comes before it.
    ASSERT_TRUE(client.receiveTelegram(t, 2000));
    EXPECT_GE(msSince(quietFrom), sim::kSyncQuietMs - 50);
    EXPECT_EQ(word(t, 1), UC_OP_TELL);
}

TEST_F(NetSim, HostileInputLeavesTheControllerAnswering) {
    RawClient hostile;
    ASSERT_TRUE(hostile.connect("127.0.0.2"));
    std::mt19937 random(7);
    Bytes junk(20000);
    for (auto& b : junk) b = static_cast<uint8_t>(random());
    ASSERT_TRUE(hostile.send(junk));
    ASSERT_TRUE(hostile.send(Bytes{0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0, 0x00, 0x00, 0x00, 0x80}));
    // A length that frames, then the client stops half way.
    ASSERT_TRUE(hostile.send(Bytes{0xFC, 0x01, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(ask(simtest::getRequest(359, 0, 1)), simtest::ackBytes(359, 0, 1, 0, 0x5000));

    for (int i = 0; i < 100 && controller.malformedInputs() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_GT(controller.malformedInputs(), 0);
    // Once the partial telegram has stalled, the hostile client is served too.
    std::this_thread::sleep_for(std::chrono::milliseconds(sim::kStallMs + 150));
    hostile.receiveSome(50);  // any ACKs for requests the junk happened to hold
    while (!hostile.receiveSome(50).empty()) {
    }
    ASSERT_TRUE(hostile.send(simtest::getRequest(360, 0, 1)));
    Bytes reply;
    ASSERT_TRUE(hostile.receiveUntil(UC_OP_ACK, 360, reply, 1000));
    EXPECT_EQ(word(reply, 6), 1000);
}

}  // namespace
