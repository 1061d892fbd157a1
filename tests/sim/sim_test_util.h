// Raw peers for the simulator tests: a TCP client that speaks telegram
// bytes, a UDP prober, and telegram builders.
#ifndef TESTS_SIM_SIM_TEST_UTIL_H
#define TESTS_SIM_SIM_TEST_UTIL_H

#include <cstdint>
#include <string>
#include <vector>

namespace simtest {

using Bytes = std::vector<uint8_t>;

Bytes getRequest(int32_t address, int32_t index, int32_t correlation = 1);
Bytes setRequest(int32_t address, int32_t index, int32_t value, int32_t correlation = 0);
// Little-endian word i of a byte vector.
int32_t word(const Bytes& b, size_t i);
// The 28 bytes of an ACK.
Bytes ackBytes(int32_t address, int32_t index, int32_t correlation, int32_t reason, int32_t value);

class RawClient {
public:
    RawClient() = default;
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool connect(const std::string& address, int port = 2101);
    bool send(const Bytes& bytes);
    // Whatever arrives within timeoutMs, from one recv call (empty on
    // time-out or close).
    Bytes receiveSome(int timeoutMs);
    // Exactly n bytes, false if they do not all come within timeoutMs.
    bool receiveExactly(size_t n, Bytes& out, int timeoutMs);
    // Reads one telegram by its length word (bounded to 512 bytes).
    bool receiveTelegram(Bytes& out, int timeoutMs);
    // Reads telegrams until one with this opcode and address comes.
    bool receiveUntil(int32_t opcode, int32_t address, Bytes& out, int timeoutMs);
    // True when the peer closed the connection within timeoutMs.
    bool closedWithin(int timeoutMs);
    void close();

private:
    int fd_ = -1;
};

struct ProbeReply {
    std::string source;
    Bytes payload;
};
// Sends one probe datagram (IP_MULTICAST_IF 127.0.0.1) to group:port and
// collects the replies for waitMs.
std::vector<ProbeReply> probe(const std::string& group, int port, const Bytes& payload, int waitMs);

}  // namespace simtest

#endif
