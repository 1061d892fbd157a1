#include "ithreads.h"

#include <chrono>

#include "records.h"

// ---- IMutex -------------------------------------------------------------

MutexRecord::MutexRecord() {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&mutex, &attr);
    pthread_mutexattr_destroy(&attr);
}

MutexRecord::~MutexRecord() { pthread_mutex_destroy(&mutex); }

IMutex::IMutex() : record_(new MutexRecord) {}
IMutex::IMutex(const IMutex& other) : record_(recordShare(other.record_)) {}
IMutex::~IMutex() { recordRelease(record_); }

IMutex& IMutex::operator=(const IMutex& other) {
    if (record_ != other.record_) {
        MutexRecord* previous = record_;
        record_ = recordShare(other.record_);
        recordRelease(previous);
    }
    return *this;
}

void IMutex::lock() { pthread_mutex_lock(&record_->mutex); }
void IMutex::unlock() { pthread_mutex_unlock(&record_->mutex); }

// ---- IWaitCondition -----------------------------------------------------

IWaitCondition::IWaitCondition() : record_(new EventRecord) {}
IWaitCondition::IWaitCondition(const IWaitCondition& other)
    : record_(recordShare(other.record_)) {}
IWaitCondition::~IWaitCondition() { recordRelease(record_); }

IWaitCondition& IWaitCondition::operator=(const IWaitCondition& other) {
    if (record_ != other.record_) {
        EventRecord* previous = record_;
        record_ = recordShare(other.record_);
        recordRelease(previous);
    }
    return *this;
}

bool IWaitCondition::wait(int ms) {
    std::unique_lock<std::mutex> guard(record_->lock);
    auto isSignalled = [this] { return record_->signalled; };
    if (ms < 0) {
        record_->changed.wait(guard, isSignalled);
    } else if (!record_->changed.wait_for(guard, std::chrono::milliseconds(ms), isSignalled)) {
        return false;
    }
    record_->signalled = false;
    return true;
}

bool IWaitCondition::wait(IMutex* mutex, int ms) {
    if (mutex) mutex->unlock();
    bool woken = wait(ms);
    if (mutex) mutex->lock();
    return woken;
}

bool IWaitCondition::wakeOne() {
    {
        std::lock_guard<std::mutex> guard(record_->lock);
        record_->signalled = true;
    }
    record_->changed.notify_one();
    return true;
}

