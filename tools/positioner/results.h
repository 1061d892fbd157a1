// Sentences for the result codes of the libraries.
#ifndef TOOLS_POSITIONER_RESULTS_H
#define TOOLS_POSITIONER_RESULTS_H

#include <cstdint>
#include <string>

// Why a call failed and what to do: the library's sentence for the code
// (PositionerResultText) as a clause.
std::string resultReason(int32_t rc);

// Prints "positioner: cannot <action>: <reason> (result <rc>)" when rc is
// not 0 (nothing once Ctrl-C was pressed); returns true when rc is 0.
bool reportResult(int32_t rc, const char* actionFormat, ...) __attribute__((format(printf, 2, 3)));

#endif
