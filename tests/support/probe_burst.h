// Answers the discovery probes for many simulated network controllers at
// once. A discovery ends at the first wait cycle that brings nothing, and
// its waits halve with every reply; with dozens of simulated controllers
// each answering on its own thread, the replies come spread over a few
// milliseconds and a scan ends in a gap between them. Here one thread
// answers for all of them, at real-time priority where the system allows
// it, and the scanning thread is kept on the same CPU for the scan: the
// whole burst of replies is queued before the scan reads the first one.
#ifndef TESTS_SUPPORT_PROBE_BURST_H
#define TESTS_SUPPORT_PROBE_BURST_H

#include <netinet/in.h>
#include <sched.h>

#include <atomic>
#include <thread>
#include <vector>

namespace test_support {

class ProbeBurst {
public:
    // Answers ADDP probes with one reply from each of these addresses.
    explicit ProbeBurst(std::vector<in_addr> controllers);
    ~ProbeBurst();  // stops the thread, closes every socket
    ProbeBurst(const ProbeBurst&) = delete;
    ProbeBurst& operator=(const ProbeBurst&) = delete;

    // Opens the sockets and starts answering; false (all closed) when a
    // socket cannot be opened, bound or joined to the group.
    bool start();
    void stop();

    int cpu() const { return cpu_; }               // the CPU the answers come from
    bool realTime() const { return realTime_; }    // the thread got real-time priority
    int bursts() const { return bursts_.load(); }  // probes answered so far

private:
    void run();
    void answer(const sockaddr_in& prober);
    void closeAll();

    std::vector<in_addr> controllers_;
    std::vector<int> replyFds_;
    int groupFd_ = -1;
    int wakeFds_[2] = {-1, -1};
    int cpu_ = 0;
    bool realTime_ = false;
    std::atomic<int> bursts_{0};
    std::thread thread_;
};

// Keeps the calling thread on one CPU while alive, then gives it back the
// CPUs it had.
class PinnedToCpu {
public:
    explicit PinnedToCpu(int cpu);
    ~PinnedToCpu();
    PinnedToCpu(const PinnedToCpu&) = delete;
    PinnedToCpu& operator=(const PinnedToCpu&) = delete;

private:
    cpu_set_t previous_;
    bool pinned_ = false;
};

}  // namespace test_support

#endif
