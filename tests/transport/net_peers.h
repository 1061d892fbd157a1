// Raw network peers for the link and transport tests: a TCP listener that
// plays a controller byte by byte, and a multicast responder that answers
// discovery probes. Both run on loopback addresses inside the private
// network namespace of the test.
#ifndef TESTS_TRANSPORT_NET_PEERS_H
#define TESTS_TRANSPORT_NET_PEERS_H

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace peers {

uint32_t ipv4(const char* dotted);  // network byte order

// Listens on address:2101 and accepts one connection at a time.
class TcpPeer {
public:
    explicit TcpPeer(const char* address = "127.0.0.2");
    ~TcpPeer();
    bool listening() const { return listener_ >= 0; }
    // Accepts the next connection, waiting at most ms. True when one came.
    bool accept(int ms = 2000);
    bool send(const void* bytes, size_t n);
    bool send(const std::vector<uint8_t>& bytes) { return send(bytes.data(), bytes.size()); }
    // Reads exactly n bytes, waiting at most ms in all; what came.
    std::vector<uint8_t> read(size_t n, int ms = 2000);
    // True when nothing at all arrives within ms.
    bool quiet(int ms);
    void closeConnection();

private:
    int listener_ = -1;
    int connection_ = -1;
};

// Telegram bytes in wire order.
std::vector<uint8_t> telegram(int32_t length, int32_t opcode, int32_t address, int32_t index,
                              int32_t correlation, const std::vector<int32_t>& data = {});
std::vector<uint8_t> ack(int32_t address, int32_t correlation, int32_t value);
std::vector<uint8_t> tell(int32_t address, int32_t value);

// Joins a discovery group on 127.0.0.1 and answers every probe with one
// datagram from each reply address (repeat times each, gapMs apart).
class ProbeResponder {
public:
    struct Probe {
        std::vector<uint8_t> payload;
        uint32_t source;
    };
    ProbeResponder(const char* group, uint16_t port, std::vector<std::string> replyFrom, int repeat = 1,
                   std::string reply = "x", int gapMs = 0);
    ~ProbeResponder();
    bool ready() const { return socket_ >= 0; }
    std::vector<Probe> probes() const;

private:
    void serve();

    int socket_ = -1;
    std::vector<int> senders_;
    int repeat_;
    std::string reply_;
    int gapMs_;
    std::atomic<bool> stop_{false};
    mutable std::mutex lock_;
    std::vector<Probe> probes_;
    std::thread thread_;
};

// Adds a local address to lo for the lifetime of the object.
class ExtraAddress {
public:
    explicit ExtraAddress(const char* address);
    ~ExtraAddress();
    bool added() const { return added_; }

private:
    std::string address_;
    bool added_;
};

// An interface of the test's namespace, for the lifetime of the object,
// on which every packet to kSilentPeer vanishes: a connect to it neither
// succeeds nor fails.
class SilentNetwork {
public:
    static constexpr const char* kSilentPeer = "10.213.0.2";
    SilentNetwork();
    ~SilentNetwork();
    bool ready() const { return ready_; }

private:
    bool ready_;
};

}  // namespace peers

#endif
