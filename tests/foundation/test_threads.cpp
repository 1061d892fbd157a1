// Threads, recursive mutexes and latched wait conditions.
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "ithreads.h"
#include "test_support.h"

using test_support::elapsedMs;

namespace {

// Checks that another thread cannot take mutex (held by the caller) until
// releaseLast() has given up the caller's last level of ownership.
void expectHeldUntil(IMutex& mutex, const std::function<void()>& releaseLast) {
    std::atomic<bool> otherLocked{false};
    std::thread other([&] {
        mutex.lock();
        otherLocked = true;
        mutex.unlock();
    });
    IThread::sleep(80);
    EXPECT_FALSE(otherLocked.load()) << "the caller still owns the mutex";
    releaseLast();
    other.join();
    EXPECT_TRUE(otherLocked.load());
}

}  // namespace

TEST(WaitCondition, WakeIsLatchedAndCountsOnce) {
    IWaitCondition event;
    EXPECT_TRUE(event.wakeOne());
    EXPECT_TRUE(event.wakeOne());
    EXPECT_TRUE(event.wait(0));
    EXPECT_FALSE(event.wait(0));
}

TEST(WaitCondition, TimedWaitWithoutWakeTimesOut) {
    IWaitCondition event;
    long long ms = elapsedMs([&] { EXPECT_FALSE(event.wait(100)); });
    EXPECT_GE(ms, 95);
    EXPECT_LT(ms, 1000);
}

TEST(WaitCondition, NegativeWaitBlocksUntilWoken) {
    IWaitCondition event;
    std::atomic<bool> woke{false};
    std::thread waker([&] {
        IThread::sleep(150);
        woke = true;
        event.wakeOne();
    });
    long long ms = elapsedMs([&] { EXPECT_TRUE(event.wait(-5)); });
    EXPECT_TRUE(woke.load());
    EXPECT_GE(ms, 140);
    waker.join();
}

TEST(WaitCondition, OneWakeReleasesExactlyOneOfTwoWaiters) {
    IWaitCondition event;
    std::atomic<int> released{0};
    auto waiter = [&] {
        if (event.wait(400)) ++released;
    };
    std::thread a(waiter), b(waiter);
    IThread::sleep(50);
    event.wakeOne();
    a.join();
    b.join();
    EXPECT_EQ(released.load(), 1);
}

TEST(WaitCondition, MutexWaitTimesOutAndRelocks) {
    IMutex mutex;
    IWaitCondition event;
    mutex.lock();
    EXPECT_FALSE(event.wait(&mutex, 100));
    // The caller owns the mutex again: another thread cannot take it yet.
    expectHeldUntil(mutex, [&] { mutex.unlock(); });
}

TEST(WaitCondition, MutexWaitReleasesTheMutexWhileWaiting) {
    IMutex mutex;
    IWaitCondition event;
    std::thread waker([&] {
        mutex.lock();  // possible only while the waiter has released it
        event.wakeOne();
        mutex.unlock();
    });
    mutex.lock();
    EXPECT_TRUE(event.wait(&mutex, 2000));
    mutex.unlock();
    waker.join();
}

TEST(WaitCondition, CopiesShareTheEvent) {
    IWaitCondition original;
    {
        IWaitCondition copy(original);
        IWaitCondition assigned;
        assigned = original;
        copy.wakeOne();
        EXPECT_TRUE(assigned.wait(0));
    }
    // The copies are gone; the shared event still works for the original.
    original.wakeOne();
    EXPECT_TRUE(original.wait(0));
}

TEST(Mutex, IsRecursive) {
    IMutex mutex;
    mutex.lock();
    mutex.lock();
    mutex.unlock();
    expectHeldUntil(mutex, [&] { mutex.unlock(); });  // one level is still held
}

TEST(Mutex, AssignedCopySharesTheLock) {
    IMutex a;
    IMutex b;
    b = a;
    a.lock();
    expectHeldUntil(b, [&] { a.unlock(); });  // b is the same lock as a
}

namespace {

class SleepyThread : public IThread {
public:
    explicit SleepyThread(int ms) : ms_(ms) {}
    void run() override {
        insideIsCurrent = isCurrentThread();
        IThread::sleep(static_cast<unsigned long>(ms_));
    }
    std::atomic<bool> insideIsCurrent{false};

private:
    int ms_;
};

class SelfDeletingThread : public IThread {
public:
    explicit SelfDeletingThread(std::atomic<bool>* done) : done_(done) {}
    void run() override {
        std::atomic<bool>* done = done_;
        delete this;
        *done = true;
    }

private:
    std::atomic<bool>* done_;
};

}  // namespace

TEST(Thread, LifecycleFinishedAndWait) {
    SleepyThread thread(150);
    thread.start();
    IThread::sleep(30);
    EXPECT_FALSE(thread.finished());
    EXPECT_FALSE(thread.isCurrentThread());
    thread.wait();
    EXPECT_TRUE(thread.finished());
    EXPECT_TRUE(thread.insideIsCurrent.load());
    long long ms = elapsedMs([&] { thread.wait(); });
    EXPECT_LT(ms, 100) << "wait on an ended thread returns at once";
}

TEST(Thread, NeverStartedThreadIsHarmless) {
    SleepyThread thread(0);
    EXPECT_TRUE(thread.finished());
    EXPECT_FALSE(thread.isCurrentThread());
    thread.wait();
}

TEST(Thread, MayDeleteItselfAtTheEndOfRun) {
    std::atomic<bool> done{false};
    (new SelfDeletingThread(&done))->start();
    for (int i = 0; i < 200 && !done; ++i) IThread::sleep(5);
    EXPECT_TRUE(done.load());
}

TEST(Thread, CopySharesTheThreadRecord) {
    auto* thread = new SleepyThread(100);
    thread->start();
    SleepyThread observer(0);
    static_cast<IThread&>(observer) = *thread;
    EXPECT_FALSE(observer.finished());
    thread->wait();
    delete thread;  // the observer still holds the shared record
    EXPECT_TRUE(observer.finished());
}

TEST(Thread, SleepSuspendsForTheGivenTime) {
    long long ms = elapsedMs([] { IThread::sleep(60); });
    EXPECT_GE(ms, 59);
    EXPECT_LT(ms, 1000);
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
TEST(Thread, StartFailureWritesCreateThreadLine) {
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        dup2(pipeFds[1], 2);
        // A default stack larger than the address space cannot be mapped.
        pthread_attr_t attr;
        pthread_attr_init(&attr);
        pthread_attr_setstacksize(&attr, static_cast<size_t>(1) << 50);
        pthread_setattr_default_np(&attr);
        SleepyThread thread(0);
        thread.start();
        _exit(thread.finished() ? 0 : 1);
    }
    close(pipeFds[1]);
    std::string text;
    char chunk[256];
    ssize_t n;
    while ((n = read(pipeFds[0], chunk, sizeof chunk)) > 0) text.append(chunk, static_cast<size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "no thread runs after a failed start";
    EXPECT_EQ(text.rfind("CreateThread: ", 0), 0u) << text;
    EXPECT_EQ(text.back(), '\n');
}
#endif
