// Ctrl-C and SIGTERM while a command talks to a controller. A thread of
// its own takes the signal and halts the command's axes at once, whatever
// the command is waiting for (a reply that comes late or never); when the
// command has not ended shortly after, it closes the controller, which ends
// the command's wait. The program then ends with status 130. Before the
// controller is open (during a scan) the signal ends the program at once.
#ifndef TOOLS_POSITIONER_INTERRUPTS_H
#define TOOLS_POSITIONER_INTERRUPTS_H

#include <signal.h>

#include <cstdint>
#include <memory>
#include <thread>

class Session;

class InterruptHalt {
public:
    // Blocks SIGINT and SIGTERM in this thread and in every thread started
    // after it (the library's), and starts the thread that takes them.
    InterruptHalt();
    ~InterruptHalt();
    InterruptHalt(const InterruptHalt&) = delete;
    InterruptHalt& operator=(const InterruptHalt&) = delete;

    // From now on a signal halts `axis` of the session's controller (-1:
    // all six axes).
    void arm(Session& session, int32_t axis);
    // The command has ended: a signal from now on halts nothing, and a
    // pending close of the session is called off. Call it before the
    // session goes.
    void disarm();
    // A signal came (and its halt went out).
    static bool interrupted();

    struct Watch;

private:
    std::unique_ptr<Watch> watch_;
    std::thread watcher_;
    sigset_t previousMask_;
};

#endif
