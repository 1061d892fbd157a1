// Trace facility of dravex and tormak: numbered trace lines, telegram
// lines, error and fatal lines to standard error or a log file.
#ifndef UC_TRACE_H
#define UC_TRACE_H

#include <cstdio>
#include <map>

#include "ithreads.h"
#include "uc_export.h"
#include "uc_telegram.h"

// The formats are those of the C99 printf family (on Windows the mingw-w64
// implementation the libraries are built with, not the system's).
#if defined(__MINGW32__)
#define UC_PRINTF_LIKE(formatArg, firstArg) __attribute__((format(gnu_printf, formatArg, firstArg)))
#else
#define UC_PRINTF_LIKE(formatArg, firstArg) __attribute__((format(printf, formatArg, firstArg)))
#endif

enum TraceFlags {
    TraceAllData = 0x001,
    TraceFlush = 0x002,
    TraceMessages = 0x004,
    TraceCategory08 = 0x008,
    TraceCategory10 = 0x010,
    TraceCategory20 = 0x020,
    TraceCategory40 = 0x040,
    TraceRangeF00 = 0x080,
    TraceTell = 0x100,
    TraceCategoryMask = 0x1FC
};

// Register addresses named by a list file, kept as disjoint inclusive
// ranges (first -> last) so that a huge range costs one entry.
class TraceAddressSet {
public:
    void clear();
    void add(int first, int last);
    bool contains(int address) const;
    bool empty() const { return ranges_.empty(); }

private:
    std::map<int, int> ranges_;
};

struct TraceParams {
    FILE* file;
    char prefix[32];
    int flags;
    int counter;
    IMutex mutex;
    bool listExcludes;
    TraceAddressSet addressList;
};

UC_EXPORT void traceInit(TraceParams* params);
UC_EXPORT void traceInit(const char* logFile, const char* prefix, int flags);
UC_EXPORT TraceParams* traceGetParamset();
UC_EXPORT void traceSetFile(const char* logFile);
UC_EXPORT void traceSetFlags(int flags);
UC_EXPORT void traceInitLists();
UC_EXPORT void traceInitTraceList(bool include);
UC_EXPORT void traceAddTraceList(int first, int last);
UC_EXPORT void traceTrace(const char* format, ...) UC_PRINTF_LIKE(1, 2);
UC_EXPORT bool traceError(bool condition, const char* format, ...) UC_PRINTF_LIKE(2, 3);
UC_EXPORT bool traceFatal(bool condition, const char* format, ...) UC_PRINTF_LIKE(2, 3);
UC_EXPORT bool traceOsError(bool condition, const char* msg, bool socketError);
UC_EXPORT bool traceTelError(bool condition, const char* label, const UcTelegram* tel);
UC_EXPORT void traceTelegram(const char* label, const UcTelegram* tel, int categories);
UC_EXPORT const char* tracePrintReason(int reason);
UC_EXPORT void traceAssert(bool condition, const char* file, int line);

#endif
