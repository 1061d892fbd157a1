// MonotonicCondition: a pthread condition variable on CLOCK_MONOTONIC.
#include "monotonic_condition.h"

#include <cerrno>
#include <ctime>

MonotonicCondition::MonotonicCondition() {
    pthread_condattr_t attr;
    pthread_condattr_init(&attr);
    pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
    pthread_cond_init(&cond_, &attr);
    pthread_condattr_destroy(&attr);
}

MonotonicCondition::~MonotonicCondition() { pthread_cond_destroy(&cond_); }

timespec MonotonicCondition::deadlineAfter(long milliseconds) {
    timespec deadline;
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += milliseconds / 1000;
    deadline.tv_nsec += (milliseconds % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    return deadline;
}

bool MonotonicCondition::waitUntil(std::unique_lock<std::mutex>& guard, const timespec& deadline) {
    return pthread_cond_timedwait(&cond_, guard.mutex()->native_handle(), &deadline) != ETIMEDOUT;
}
