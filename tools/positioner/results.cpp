#include "results.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>

#include "interrupts.h"
#include "output.h"
#include "positioner.h"

std::string resultReason(int32_t rc) {
    // The library's sentence, as a clause: lower-case start, no full stop.
    std::string reason = PositionerResultText(rc);
    if (!reason.empty()) reason[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(reason[0])));
    if (!reason.empty() && reason.back() == '.') reason.pop_back();
    return reason;
}

bool reportResult(int32_t rc, const char* actionFormat, ...) {
    if (rc == RC_OK) return true;
    // After Ctrl-C the controller may be closed under a call: no message.
    if (InterruptHalt::interrupted()) return false;
    char action[256];
    va_list args;
    va_start(args, actionFormat);
    std::vsnprintf(action, sizeof action, actionFormat, args);
    va_end(args);
    complain("cannot %s: %s (result %d)", action, resultReason(rc).c_str(), rc);
    return false;
}
