// IThread: construction and copies. Starting, joining and the thread
// queries are operating-system calls in the platform layer
// (platform/<os>/thread_os.cpp).
#include "ithreads.h"
#include "platform/thread_records.h"

#if defined(_WIN32)
// GCC exports the virtual table and the type information of IThread with
// the class, but not the type information's name; it is exported here (by
// the linker directive that dllexport itself produces), so that dravex
// exports the same names on both systems.
__asm__(".section .drectve\n\t.ascii \" -export:\\\"_ZTS7IThread\\\",data\"\n\t.text");
#endif

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
