// IMutex and IWaitCondition: construction, copies and the wait that
// releases a mutex. The operating-system calls are in
// threads/<os>/sync_os.cpp.
#include "ithreads.h"
#include "platform/thread_records.h"

// ---- IMutex -------------------------------------------------------------

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

// ---- IWaitCondition -----------------------------------------------------

IWaitCondition::IWaitCondition() : record_(new EventRecord) {}
IWaitCondition::IWaitCondition(const IWaitCondition& other) : record_(recordShare(other.record_)) {}
IWaitCondition::~IWaitCondition() { recordRelease(record_); }

IWaitCondition& IWaitCondition::operator=(const IWaitCondition& other) {
    if (record_ != other.record_) {
        EventRecord* previous = record_;
        record_ = recordShare(other.record_);
        recordRelease(previous);
    }
    return *this;
}

// The event keeps a wake that arrives between the unlock and the wait, so
// none is lost in that window.
bool IWaitCondition::wait(IMutex* mutex, int ms) {
    if (mutex) mutex->unlock();
    bool woken = wait(ms);
    if (mutex) mutex->lock();
    return woken;
}
