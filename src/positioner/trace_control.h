// Trace control for C callers (PositionerTrace*), and the default set-up
// that PositionerCheck and PositionerConnectAddress make until a caller
// takes tracing over.
#ifndef POSITIONER_TRACE_CONTROL_H
#define POSITIONER_TRACE_CONTROL_H

#include <cstdint>

namespace pos {

// Sets tracing up as PositionerCheck does (standard error, prefix
// "Positioner", trace lines), unless a handle is open (its receive thread
// writes lines under the present set-up) or a caller has taken tracing
// over through the functions below.
void setUpDefaultTrace();

int32_t traceOff();
int32_t traceToStderr();
int32_t traceToFile(const char* path);
int32_t traceFlags(int32_t flags);
int32_t tracePrefix(const char* prefix);

}  // namespace pos

#endif
