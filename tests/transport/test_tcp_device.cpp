// UcTcpDevice against a raw TCP peer on 127.0.0.x:2101: connection,
// framing checks, resynchronisation and failure lines.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "net_peers.h"
#include "test_support.h"
#include "trace.h"
#include "transport/tcp/uc_tcp_device.h"
#include "uc_telegram.h"
#include "wire/timing.h"

using test_support::captureStderr;
using test_support::elapsedMs;

namespace {

class TcpDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        traceInit(nullptr, "", 0x1FC);
        REQUIRE_PRIVATE_NETWORK();
        ASSERT_TRUE(peer.listening());
        ASSERT_EQ(device.connect(), RC_OK);
        ASSERT_TRUE(peer.accept());
    }

    // Receives one telegram; returns the result, the length in *n.
    int receive(UcTelegram* buffer, int* n) {
        *n = -7;
        return device.receive(buffer, n);
    }

    peers::TcpPeer peer{"127.0.0.2"};
    UcTcpDevice device{peers::ipv4("127.0.0.2"), transport::Route::Addp};
    UcTelegram buffer = {};
};

TEST(TcpDeviceClosed, NameConnectFailureAndClosedOperations) {
    traceInit(nullptr, "", 0x1FC);
    REQUIRE_PRIVATE_NETWORK();
    UcTcpDevice device(peers::ipv4("127.0.0.9"), transport::Route::Velorix);
    EXPECT_STREQ(device.name(), "127.0.0.9");
    EXPECT_EQ(device.transport(), transport::kTcpDevice);
    EXPECT_EQ(device.link().identityFallback, 0);
    EXPECT_EQ(device.origin().carrier, transport::CarrierKind::Tcp);
    EXPECT_EQ(device.origin().route, transport::Route::Velorix);
    int result = 0;
    std::string err = captureStderr([&] { result = device.connect(); });
    EXPECT_EQ(result, RC_NOT_CONNECTED);
    EXPECT_NE(err.find("ERROR: Connect to controller: connect() failed - WSA_Error #111.\n"), std::string::npos)
        << err;
    EXPECT_FALSE(device.link().connected);
    char bytes[512];
    int n = 0;
    EXPECT_EQ(device.receive(bytes, &n), RC_NOT_CONNECTED);
    EXPECT_EQ(device.send(4, bytes), RC_NOT_CONNECTED);
    EXPECT_EQ(device.resync(), RC_NOT_CONNECTED);
    EXPECT_EQ(device.disconnect(), RC_OK);
}

// A controller named by its address: a refused connect fails at once as
// before, one that nobody answers is given up after its limit.
TEST(TcpDeviceClosed, ConnectToANamedAddressIsBounded) {
    traceInit(nullptr, "", 0x1FC);
    REQUIRE_PRIVATE_NETWORK();
    UcTcpDevice refused(peers::ipv4("127.0.0.9"), transport::Route::Address);
    int result = 0;
    std::string err = captureStderr([&] { result = refused.connect(); });
    EXPECT_EQ(result, RC_NOT_CONNECTED);
    EXPECT_NE(err.find("ERROR: Connect to controller: connect() failed - WSA_Error #111.\n"), std::string::npos)
        << err;

    peers::SilentNetwork silent;
    ASSERT_TRUE(silent.ready());
    UcTcpDevice unanswered(peers::ipv4(peers::SilentNetwork::kSilentPeer), transport::Route::Address);
    long long ms = 0;
    err = captureStderr([&] { ms = elapsedMs([&] { result = unanswered.connect(); }); });
    EXPECT_EQ(result, RC_NOT_CONNECTED);
    EXPECT_GE(ms, uc::kAddressConnectLimitMs - 50);
    EXPECT_LT(ms, uc::kAddressConnectLimitMs + 500);
    EXPECT_NE(err.find("ERROR: Connect to controller: no answer within 5000 ms.\n"), std::string::npos) << err;
    EXPECT_FALSE(unanswered.link().connected);
}

TEST_F(TcpDeviceTest, SecondConnectKeepsTheConnectionAndSendArrives) {
    EXPECT_EQ(device.connect(), RC_OK);
    EXPECT_FALSE(peer.accept(100)) << "a second connect must not open a new socket";
    const std::vector<uint8_t> get = peers::telegram(16, UC_OP_GET, 359, 0, 1);
    EXPECT_EQ(device.send(static_cast<int>(get.size()), get.data()), RC_OK);
    EXPECT_EQ(peer.read(20), get);
}

TEST_F(TcpDeviceTest, NothingWithinTheWaitIsATimeout) {
    int n = 0;
    int result = 0;
    long long ms = elapsedMs([&] { result = receive(&buffer, &n); });
    EXPECT_EQ(result, RC_TIMEOUT);
    EXPECT_EQ(n, -7) << "the length must stay unchanged";
    EXPECT_GE(ms, 450);
    EXPECT_LT(ms, 1500);
}

TEST_F(TcpDeviceTest, SplitSegmentsAreJoinedAndLimitsHold) {
    const std::vector<uint8_t> ack = peers::ack(0x2A, 1, 77);
    std::thread writer([&] {
        for (size_t at = 0; at < ack.size(); at += 5) {
            peer.send(ack.data() + at, std::min<size_t>(5, ack.size() - at));
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
    });
    int n = 0;
    EXPECT_EQ(receive(&buffer, &n), RC_OK);
    writer.join();
    EXPECT_EQ(n, 28);
    EXPECT_EQ(0, std::memcmp(&buffer, ack.data(), 28));

    // The largest telegram: length 508, 512 bytes, 123 data words.
    std::vector<int32_t> words(123, 0x11);
    const std::vector<uint8_t> largest = peers::telegram(508, UC_OP_TELL, 5, 0, 0, words);
    ASSERT_EQ(largest.size(), 512u);
    peer.send(largest);
    EXPECT_EQ(receive(&buffer, &n), RC_OK);
    EXPECT_EQ(n, 512);
    EXPECT_EQ(buffer.data[122], 0x11);
}

// Telegrams that arrive in one segment are read from the socket together
// and handed out one per receive, in order, each with its own length.
TEST_F(TcpDeviceTest, TelegramsThatArriveTogetherAreDeliveredOneByOne) {
    const std::vector<uint8_t> tell = peers::tell(0x415, -3);
    const std::vector<uint8_t> ack = peers::ack(0x400, 1, 30000);
    const std::vector<uint8_t> largest =
        peers::telegram(508, UC_OP_TELL, 5, 0, 0, std::vector<int32_t>(123, 0x22));
    std::vector<uint8_t> together;
    for (int round = 0; round < 20; ++round) {  // more than one read's worth
        for (const auto* t : {&tell, &ack, &largest}) together.insert(together.end(), t->begin(), t->end());
    }
    peer.send(together);
    int n = 0;
    for (int round = 0; round < 20; ++round) {
        for (const auto* t : {&tell, &ack, &largest}) {
            ASSERT_EQ(receive(&buffer, &n), RC_OK) << "round " << round;
            ASSERT_EQ(n, static_cast<int>(t->size())) << "round " << round;
            ASSERT_EQ(0, std::memcmp(&buffer, t->data(), t->size())) << "round " << round;
        }
    }
    EXPECT_EQ(receive(&buffer, &n), RC_TIMEOUT) << "nothing may be left over";
}

// The drain counts every byte behind the point where framing was lost,
// also those that came in the same segment as the implausible length.
TEST_F(TcpDeviceTest, ResyncCountsTheBytesBehindAnImplausibleLength) {
    std::vector<uint8_t> bytes = peers::telegram(509, UC_OP_TELL, 5, 0, 0, std::vector<int32_t>(124, 1));
    ASSERT_EQ(bytes.size(), 516u);
    const uint8_t junk[7] = {1, 2, 3, 4, 5, 6, 7};
    bytes.insert(bytes.end(), junk, junk + sizeof junk);
    peer.send(bytes);
    int n = 0;
    int result = 0;
    std::string err = captureStderr([&] { result = receive(&buffer, &n); });
    ASSERT_EQ(result, RC_OUT_OF_SYNC) << err;
    err = captureStderr([&] { result = device.resync(); });
    EXPECT_EQ(result, RC_OK);
    EXPECT_NE(err.find("Sync finished, 519 bytes skipped.\n"), std::string::npos) << err;
    peer.send(peers::tell(0x405, 9));
    EXPECT_EQ(receive(&buffer, &n), RC_OK);
    EXPECT_EQ(n, 24);
}

// A telegram read ahead on one connection is not delivered on the next.
TEST_F(TcpDeviceTest, BytesOfAnEarlierConnectionAreNotDelivered) {
    std::vector<uint8_t> two = peers::tell(0x415, 1);
    const std::vector<uint8_t> stale = peers::tell(0x415, 2);
    two.insert(two.end(), stale.begin(), stale.end());
    peer.send(two);
    int n = 0;
    ASSERT_EQ(receive(&buffer, &n), RC_OK);
    EXPECT_EQ(buffer.data[0], 1);
    EXPECT_EQ(device.disconnect(), RC_OK);
    ASSERT_EQ(device.connect(), RC_OK);
    ASSERT_TRUE(peer.accept());
    const std::vector<uint8_t> fresh = peers::tell(0x415, 3);
    peer.send(fresh);
    ASSERT_EQ(receive(&buffer, &n), RC_OK);
    EXPECT_EQ(buffer.data[0], 3);
}

TEST_F(TcpDeviceTest, ImplausibleLengthOrOpcodeIsOutOfSync) {
    UcTelegram guarded[2] = {};  // a second record catches any write past the first
    std::memset(&guarded[1], 0x5C, sizeof guarded[1]);
    int n = 0;
    peer.send(peers::telegram(509, UC_OP_TELL, 5, 0, 0, std::vector<int32_t>(124, 1)));
    int result = 0;
    std::string err = captureStderr([&] { result = receive(&guarded[0], &n); });
    EXPECT_EQ(result, RC_OUT_OF_SYNC);
    EXPECT_NE(err.find("ERROR: Receive from controller: Length too large (513), assuming out of sync.\n"),
              std::string::npos)
        << err;
    EXPECT_EQ(guarded[1].length, 0x5C5C5C5C);
    // Only the length word was consumed: the next four bytes are the opcode.
    err = captureStderr([&] { result = receive(&guarded[0], &n); });
    EXPECT_EQ(result, RC_OUT_OF_SYNC)
        << "the opcode word (4) now reads as the length word, the address (5) as opcode";
    ASSERT_EQ(device.resync(), RC_OK);

    peer.send(peers::telegram(16, UC_OP_GET, 5, 0, 1));
    err = captureStderr([&] { result = receive(&buffer, &n); });
    EXPECT_EQ(result, RC_OUT_OF_SYNC);
    EXPECT_NE(err.find("ERROR: Receive from controller: invalid opcode 1, assuming out of sync.\n"),
              std::string::npos)
        << err;

    peer.send(peers::tell(0x405, 9));
    EXPECT_EQ(receive(&buffer, &n), RC_OK);
    EXPECT_EQ(n, 24);
}

TEST_F(TcpDeviceTest, ShortLengthWordsEndTheReadAndAStallIsBounded) {
    int n = 0;
    // Length word 2: six bytes in all, passed on without an opcode test.
    const uint8_t six[6] = {2, 0, 0, 0, 0xAB, 0xCD};
    peer.send(six, sizeof six);
    EXPECT_EQ(receive(&buffer, &n), RC_OK);
    EXPECT_EQ(n, 6);
    // A negative length word ends the read after the word itself.
    peer.send(peers::telegram(-5, 0, 0, 0, 0));
    EXPECT_EQ(receive(&buffer, &n), RC_OK);
    EXPECT_EQ(n, 4);
    ASSERT_EQ(device.resync(), RC_OK);

    // A telegram that stops half-way does not hold the reader.
    const std::vector<uint8_t> ack = peers::ack(7, 1, 1);
    peer.send(ack.data(), 10);
    int result = 0;
    std::string err;
    long long ms = elapsedMs([&] { err = captureStderr([&] { result = receive(&buffer, &n); }); });
    EXPECT_EQ(result, RC_OUT_OF_SYNC);
    EXPECT_LT(ms, 1500);
    EXPECT_NE(err.find("telegram incomplete (10 of 28 bytes), assuming out of sync"), std::string::npos) << err;
}

TEST_F(TcpDeviceTest, ResyncOnAQuietAndOnAShortNoisyLine) {
    int result = 0;
    std::string err;
    long long ms = elapsedMs([&] { err = captureStderr([&] { result = device.resync(); }); });
    EXPECT_EQ(result, RC_OK);
    EXPECT_GE(ms, 450);
    EXPECT_NE(err.find("Sync finished, 0 bytes skipped.\n"), std::string::npos) << err;

    const uint8_t junk[7] = {1, 2, 3, 4, 5, 6, 7};
    peer.send(junk, sizeof junk);
    err = captureStderr([&] { result = device.resync(); });
    EXPECT_EQ(result, RC_OK);
    EXPECT_NE(err.find("Sync finished, 7 bytes skipped.\n"), std::string::npos) << err;
}

TEST_F(TcpDeviceTest, ResyncGivesUpOnALineThatNeverFallsQuiet) {
    std::atomic<bool> stop{false};
    std::thread noise([&] {
        const uint8_t byte = 0xA5;
        while (!stop && peer.send(&byte, 1)) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    });
    int result = 0;
    std::string err;
    long long ms = elapsedMs([&] { err = captureStderr([&] { result = device.resync(); }); });
    stop = true;
    noise.join();
    EXPECT_EQ(result, RC_OUT_OF_SYNC);
    EXPECT_GE(ms, 2000);
    EXPECT_LT(ms, 3500);
    EXPECT_NE(err.find("ERROR: Sync to datastream failed, "), std::string::npos) << err;
}

TEST_F(TcpDeviceTest, PeerCloseFailsReadsAndSendsWithoutASignal) {
    peer.closeConnection();
    int n = 0;
    int result = 0;
    std::string err = captureStderr([&] { result = receive(&buffer, &n); });
    EXPECT_EQ(result, RC_ERROR);
    EXPECT_NE(err.find("ERROR: Receive from controller: recv() failed - WSA_Error #"), std::string::npos)
        << err;
    EXPECT_TRUE(device.link().connected) << "a failed read leaves the object connected";
    // The first send may still be taken by the kernel; a later one fails
    // with an error (not SIGPIPE, which would end this program).
    const std::vector<uint8_t> get = peers::telegram(16, UC_OP_GET, 1, 0, 1);
    err = captureStderr([&] {
        for (int i = 0; i < 20; ++i) {
            if (device.send(20, get.data()) == RC_ERROR) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    EXPECT_NE(err.find("ERROR: Send to controller: send() failed - WSA_Error #32.\n"), std::string::npos)
        << err;
}

TEST_F(TcpDeviceTest, DisconnectWakesAWaitingReceiver) {
    int result = 0;
    long long ms = 0;
    std::string err = captureStderr([&] {
        std::thread receiver([&] {
            int n = 0;
            ms = elapsedMs([&] { result = device.receive(&buffer, &n); });
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(device.disconnect(), RC_OK);
        receiver.join();
    });
    EXPECT_EQ(result, RC_ERROR);
    EXPECT_LT(ms, 400) << "the receiver should not sit out its whole wait";
    EXPECT_FALSE(device.link().connected);
    EXPECT_EQ(device.disconnect(), RC_OK);
}

}  // namespace
