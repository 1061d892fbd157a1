#include "fuzz_input.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "trace.h"

namespace fuzzin {

void checkFailed(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    std::abort();
}

void traceToNowhere(int flags) {
    traceInit("/dev/null", "F", flags);
    const int nowhere = open("/dev/null", O_WRONLY);
    if (nowhere < 0 || dup2(nowhere, STDOUT_FILENO) < 0) std::abort();
    close(nowhere);
}

}  // namespace fuzzin
