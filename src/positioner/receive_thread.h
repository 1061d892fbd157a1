// The receive thread of one open handle: reads every telegram the
// controller sends, traces it and applies ACK and TELL telegrams.
#ifndef POSITIONER_RECEIVE_THREAD_H
#define POSITIONER_RECEIVE_THREAD_H

#include "ithreads.h"

namespace pos {

class ReceiveThread : public IThread {
public:
    explicit ReceiveThread(int handle) : handle_(handle) {}
    void run() override;
    // 0 when stopped by PositionerClose, -1 when a receive failed. Read it
    // only once finished() is true.
    int result() const { return result_; }

private:
    int handle_;
    int result_ = 0;
};

// The receive loop of a handle; returns the thread's result.
int receiveLoop(int handle);

}  // namespace pos

#endif
