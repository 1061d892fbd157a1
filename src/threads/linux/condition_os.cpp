// Condition on POSIX: a pthread mutex and a condition variable whose timed
// waits run on CLOCK_MONOTONIC.
#include <errno.h>
#include <pthread.h>
#include <time.h>

#include "threads/condition.h"

struct ConditionRecord {
    pthread_mutex_t mutex;
    pthread_cond_t changed;
};

Condition::Condition() : record_(new ConditionRecord) {
    pthread_mutex_init(&record_->mutex, nullptr);
    pthread_condattr_t attr;
    pthread_condattr_init(&attr);
    pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
    pthread_cond_init(&record_->changed, &attr);
    pthread_condattr_destroy(&attr);
}

Condition::~Condition() {
    pthread_cond_destroy(&record_->changed);
    pthread_mutex_destroy(&record_->mutex);
    delete record_;
}

void Condition::lock() { pthread_mutex_lock(&record_->mutex); }
void Condition::unlock() { pthread_mutex_unlock(&record_->mutex); }

bool Condition::wait(int ms) {
    if (ms < 0) ms = 0;
    struct timespec until;
    clock_gettime(CLOCK_MONOTONIC, &until);
    until.tv_sec += ms / 1000;
    until.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
    if (until.tv_nsec >= 1000000000L) {
        until.tv_sec += 1;
        until.tv_nsec -= 1000000000L;
    }
    return pthread_cond_timedwait(&record_->changed, &record_->mutex, &until) != ETIMEDOUT;
}

void Condition::wakeAll() { pthread_cond_broadcast(&record_->changed); }
