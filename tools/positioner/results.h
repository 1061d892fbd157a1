// Sentences for the result codes of the libraries.
#ifndef TOOLS_POSITIONER_RESULTS_H
#define TOOLS_POSITIONER_RESULTS_H

#include <cstdint>
#include <string>

// Why a call failed and what to do, for a call on an open controller.
const char* resultReason(int32_t rc);

// Prints "positioner: cannot <action>: <reason> (result <rc>)" when rc is
// not 0; returns true when rc is 0.
bool reportResult(int32_t rc, const char* actionFormat, ...) __attribute__((format(printf, 2, 3)));

#endif
