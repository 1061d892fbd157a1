// Set-up and control of a library's trace record, for the libraries that
// carry the trace facility (their trace initialisers and trace controls).
#ifndef TRACE_TRACE_SETUP_H
#define TRACE_TRACE_SETUP_H

#include "trace.h"

// Set-up from a record or from the defaults (no log file, no prefix,
// flags 0x1FC): the one set-up both libraries' trace initialisers perform.
void traceSetupShared(TraceParams* params);

namespace trace_detail {

// The record that lines go to now, or nullptr.
TraceParams* current();

// The flags word of a record. Stored atomically (under the record's
// mutex) so that a telegram line switched off by the flags can be dropped
// without taking the mutex.
inline int loadFlags(const TraceParams* p) { return __atomic_load_n(&p->flags, __ATOMIC_RELAXED); }
inline void storeFlags(TraceParams* p, int flags) { __atomic_store_n(&p->flags, flags, __ATOMIC_RELAXED); }

// Whether error and fatal lines that go to a log file are repeated on
// standard output (initially, and after every traceInit with a log file
// name, they are).
void repeatReportsOnStdout(bool repeat);

// Sends the record's lines to the log file (truncated), or to standard
// error for a null or empty name. False, with an error line and the
// record unchanged, when the file cannot be opened.
bool setRecordFile(TraceParams* p, const char* logFile);
// The record's prefix: the text (at most 30 characters) and a blank, or
// nothing for a null or empty text.
void setRecordPrefix(TraceParams* p, const char* prefix);

}  // namespace trace_detail

#endif
