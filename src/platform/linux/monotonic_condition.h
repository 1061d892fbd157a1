// A condition variable for a std::mutex whose timed waits run on
// CLOCK_MONOTONIC through pthread_cond_timedwait (glibc 2.3.2), where
// std::condition_variable::wait_for of GCC 12 would call glibc 2.34's
// pthread_cond_clockwait. A change of the wall clock does not move them.
#ifndef PLATFORM_LINUX_MONOTONIC_CONDITION_H
#define PLATFORM_LINUX_MONOTONIC_CONDITION_H

#include <pthread.h>

#include <mutex>

class MonotonicCondition {
public:
    MonotonicCondition();
    ~MonotonicCondition();
    MonotonicCondition(const MonotonicCondition&) = delete;
    MonotonicCondition& operator=(const MonotonicCondition&) = delete;

    void notifyOne() { pthread_cond_signal(&cond_); }
    void notifyAll() { pthread_cond_broadcast(&cond_); }

    // Waits until ready() holds; `guard` holds the mutex throughout but
    // while blocked.
    template <typename Ready>
    void wait(std::unique_lock<std::mutex>& guard, Ready ready) {
        while (!ready()) pthread_cond_wait(&cond_, guard.mutex()->native_handle());
    }
    // The same, for at most `milliseconds`: false when ready() still does
    // not hold at the end.
    template <typename Ready>
    bool waitFor(std::unique_lock<std::mutex>& guard, long milliseconds, Ready ready) {
        const timespec deadline = deadlineAfter(milliseconds);
        while (!ready()) {
            if (!waitUntil(guard, deadline)) return ready();
        }
        return true;
    }
    // One wait of at most `milliseconds`, for callers that test their own
    // predicate (it may also end without a notify): false when the time ran
    // out.
    bool waitOnceFor(std::unique_lock<std::mutex>& guard, long milliseconds) {
        return waitUntil(guard, deadlineAfter(milliseconds));
    }

private:
    static timespec deadlineAfter(long milliseconds);
    // False once the deadline has passed.
    bool waitUntil(std::unique_lock<std::mutex>& guard, const timespec& deadline);

    pthread_cond_t cond_;
};

#endif
