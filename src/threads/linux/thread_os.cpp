// IThread on POSIX: a detached pthread that publishes its end in the
// thread record.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "ithreads.h"
#include "platform/thread_records.h"

namespace {

struct StartPacket {
    IThread* thread;
    ThreadRecord* record;  // one reference held by the running thread
};

void* threadEntry(void* argument) {
    StartPacket packet = *static_cast<StartPacket*>(argument);
    delete static_cast<StartPacket*>(argument);
    {
        std::lock_guard<std::mutex> guard(packet.record->lock);
        packet.record->id = pthread_self();
    }
    // The object may delete itself inside run(); only the record is
    // touched afterwards.
    packet.thread->run();
    {
        std::lock_guard<std::mutex> guard(packet.record->lock);
        packet.record->done = true;
    }
    packet.record->ended.notify_all();
    recordRelease(packet.record);
    return nullptr;
}

}  // namespace

void IThread::start() {
    auto* packet = new StartPacket{this, recordShare(record_)};
    {
        std::lock_guard<std::mutex> guard(record_->lock);
        record_->started = true;
        record_->done = false;
    }
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    pthread_t id;
    int rc = pthread_create(&id, &attr, threadEntry, packet);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        {
            std::lock_guard<std::mutex> guard(record_->lock);
            record_->started = false;
        }
        recordRelease(packet->record);
        delete packet;
        std::fprintf(stderr, "CreateThread: %s\n", std::strerror(rc));
        return;
    }
    // Nothing of this object is touched once the thread runs: run() may
    // already have deleted it. The thread records its own id.
}

void IThread::wait() {
    std::unique_lock<std::mutex> guard(record_->lock);
    if (!record_->started) return;  // never started: nothing to wait for
    record_->ended.wait(guard, [this] { return record_->done; });
}

bool IThread::finished() const {
    std::lock_guard<std::mutex> guard(record_->lock);
    return !record_->started || record_->done;
}

bool IThread::isCurrentThread() const {
    std::lock_guard<std::mutex> guard(record_->lock);
    return record_->started && !record_->done && pthread_equal(record_->id, pthread_self());
}

void IThread::sleep(unsigned long ms) {
    struct timespec remaining;
    remaining.tv_sec = static_cast<time_t>(ms / 1000);
    remaining.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}
