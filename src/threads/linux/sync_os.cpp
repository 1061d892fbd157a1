// IMutex and IWaitCondition on POSIX: a recursive pthread mutex, and an
// auto-reset event made of a latched flag and a condition variable.
#include "ithreads.h"
#include "platform/thread_records.h"

MutexRecord::MutexRecord() {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&mutex, &attr);
    pthread_mutexattr_destroy(&attr);
}

MutexRecord::~MutexRecord() { pthread_mutex_destroy(&mutex); }

void IMutex::lock() { pthread_mutex_lock(&record_->mutex); }
void IMutex::unlock() { pthread_mutex_unlock(&record_->mutex); }

bool IWaitCondition::wait(int ms) {
    std::unique_lock<std::mutex> guard(record_->lock);
    auto isSignalled = [this] { return record_->signalled; };
    if (ms < 0) {
        record_->changed.wait(guard, isSignalled);
    } else if (!record_->changed.waitFor(guard, ms, isSignalled)) {
        return false;
    }
    record_->signalled = false;
    return true;
}

bool IWaitCondition::wakeOne() {
    {
        std::lock_guard<std::mutex> guard(record_->lock);
        record_->signalled = true;
    }
    record_->changed.notifyOne();
    return true;
}
