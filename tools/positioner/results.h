// Messages for the result codes of the Positioner API.
#ifndef TOOLS_POSITIONER_RESULTS_H
#define TOOLS_POSITIONER_RESULTS_H

#include <cstdint>

// A sentence for every result code.
const char* resultText(int32_t rc);

// Prints "positioner: <what>: <text> (result <rc>)" to standard error when
// rc is not 0; returns true when rc is 0.
bool reportResult(const char* what, int32_t rc);

#endif
