// Threads, recursive mutexes and auto-reset wait conditions exported by
// dravex (IThread, IMutex, IWaitCondition) and tormak (IMutex,
// IWaitCondition). Each object holds one pointer to a private record;
// copies share the record, which is released when its last holder goes.
#ifndef ITHREADS_H
#define ITHREADS_H

#include "uc_export.h"

// IThread belongs to dravex alone. On Windows a class marked for export is
// exported (with its type information, and that of every class derived
// from it) by each object file that sees it, so inside the libraries only
// the sources that define IThread's members see the mark.
#if defined(_WIN32) && defined(UC_BUILDING_LIBRARY) && !defined(UC_DEFINING_ITHREAD)
#define UC_ITHREAD_EXPORT
#else
#define UC_ITHREAD_EXPORT UC_EXPORT
#endif

struct ThreadRecord;
struct MutexRecord;
struct EventRecord;

class UC_ITHREAD_EXPORT IThread {
public:
    IThread();
    IThread(const IThread& other);
    virtual ~IThread();
    IThread& operator=(const IThread& other);

    virtual void run() = 0;
    // Starts an operating-system thread that calls run(). On failure writes
    // "CreateThread: <error text>" to standard error and starts nothing.
    virtual void start();
    // Blocks until the thread started by start() has ended.
    virtual void wait();

    bool finished() const;
    bool isCurrentThread() const;
    static void sleep(unsigned long ms);

private:
    ThreadRecord* record_;
};

class UC_EXPORT IMutex {
public:
    IMutex();
    IMutex(const IMutex& other);
    ~IMutex();
    IMutex& operator=(const IMutex& other);

    void lock();
    void unlock();

private:
    friend class IWaitCondition;
    MutexRecord* record_;
};

class UC_EXPORT IWaitCondition {
public:
    IWaitCondition();
    IWaitCondition(const IWaitCondition& other);
    ~IWaitCondition();
    IWaitCondition& operator=(const IWaitCondition& other);

    // Consumes a pending wake. ms < 0 waits without limit, ms == 0 only
    // tests. Returns false on time-out.
    bool wait(int ms);
    // Unlocks mutex, waits as wait(ms), locks mutex again.
    bool wait(IMutex* mutex, int ms);
    // Sets the wake: releases one waiter, or the next one to wait.
    bool wakeOne();

private:
    EventRecord* record_;
};

#endif
