// One sentence per result code: what failed and what to do. The one table
// that the command line, the Python package, the desktop program and the
// Tango server show their users.
#ifndef POSITIONER_RESULT_TEXT_H
#define POSITIONER_RESULT_TEXT_H

#include <cstdint>

namespace pos {

// Never null; static text.
const char* resultText(int32_t code);

}  // namespace pos

#endif
