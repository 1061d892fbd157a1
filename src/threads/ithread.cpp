// IThread: construction and copies. Starting, joining and the thread
// queries are operating-system calls
// (threads/<os>/thread_os.cpp).
#include "ithreads.h"
#include "platform/thread_records.h"

IThread::IThread() : record_(new ThreadRecord) {}
IThread::IThread(const IThread& other) : record_(recordShare(other.record_)) {}
IThread::~IThread() { recordRelease(record_); }

IThread& IThread::operator=(const IThread& other) {
    if (record_ != other.record_) {
        ThreadRecord* previous = record_;
        record_ = recordShare(other.record_);
        recordRelease(previous);
    }
    return *this;
}
