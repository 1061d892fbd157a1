// Answers the two discovery probes: UDP sockets bound to the probe groups
// and ports (shared with other simulated controllers through
// SO_REUSEADDR), and a reply socket bound to the controller's address so
// that every reply carries that address as its source.
#ifndef SIM_PROBE_RESPONDER_H
#define SIM_PROBE_RESPONDER_H

#include <netinet/in.h>

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "framer.h"

namespace sim {

class ProbeResponder {
public:
    struct Config {
        in_addr controller;
        in_addr multicastInterface;
        bool answerAddp;
        bool answerVelorix;
    };
    ProbeResponder(Config config, std::function<void(const std::string&)> log);
    ~ProbeResponder();
    ProbeResponder(const ProbeResponder&) = delete;
    ProbeResponder& operator=(const ProbeResponder&) = delete;

    // Opens, binds and joins everything; false (all closed) on failure.
    bool open();
    void close();

    // Descriptors to watch for readability.
    std::vector<int> fds() const;
    // Reads one datagram from fd (one of fds()), records it and answers it
    // when it is the probe of that socket.
    void handle(int fd);

    std::vector<Bytes> received(bool addp) const;

    // The probe payloads and reply builders, also used by the tests.
    static Bytes addpProbe();
    static Bytes velorixProbe();
    static bool isAddpProbe(const Bytes& datagram);
    static bool isVelorixProbe(const Bytes& datagram);
    static Bytes addpReply(in_addr controller);
    static Bytes velorixReply();

private:
    struct Group {
        const char* group;
        uint16_t port;
        bool addp;
        int fd;
    };
    int openGroup(const Group& g) const;

    Config config_;
    std::function<void(const std::string&)> log_;
    Group groups_[2];
    int replyFd_ = -1;
    mutable std::mutex mutex_;
    std::deque<Bytes> received_[2];  // [0] Velorix, [1] ADDP
};

}  // namespace sim

#endif
