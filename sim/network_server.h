// The controller's network side: the TCP listener on port 2101, the
// connections it accepted, and the probe responder, all served by one I/O
// thread.
#ifndef SIM_NETWORK_SERVER_H
#define SIM_NETWORK_SERVER_H

#include <netinet/in.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "framer.h"
#include "probe_responder.h"
#include "sinks.h"

namespace sim {

// What the server hands on; called on the I/O thread.
class RequestHandler {
public:
    enum class Disposition { Keep, Close };
    virtual ~RequestHandler() = default;
    virtual Disposition onTelegram(const std::shared_ptr<Sink>& from, const Bytes& telegram) = 0;
    virtual void onInputDropped(int drops, size_t bytes) = 0;
    virtual void log(const std::string& line) = 0;
};

class NetworkServer {
public:
    NetworkServer(in_addr address, ProbeResponder::Config probes, RequestHandler& handler);
    ~NetworkServer();
    NetworkServer(const NetworkServer&) = delete;
    NetworkServer& operator=(const NetworkServer&) = delete;

    // Binds everything and starts the I/O thread; false (all closed) when
    // a socket cannot be made or bound.
    bool start();
    void stop();

    std::vector<std::shared_ptr<TcpSink>> connections() const;
    void hangUpAll();
    int accepted() const { return accepted_.load(); }
    std::vector<Bytes> probes(bool addp) const { return probes_.received(addp); }

private:
    struct Connection {
        std::shared_ptr<TcpSink> sink;
        TelegramFramer framer;
    };

    bool openListener();
    void run();
    void acceptOne();
    // False when the connection is to be dropped.
    bool serve(Connection& c);
    void reportDrops(Connection& c, int dropsBefore, size_t bytesBefore);
    void remove(const std::shared_ptr<TcpSink>& sink, const char* why);

    const in_addr address_;
    RequestHandler& handler_;
    ProbeResponder probes_;
    int listenFd_ = -1;
    int wakeFd_ = -1;
    std::thread thread_;
    mutable std::mutex mutex_;  // connections_
    std::vector<std::unique_ptr<Connection>> connections_;
    std::atomic<int> accepted_{0};
};

}  // namespace sim

#endif
