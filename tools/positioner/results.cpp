#include "results.h"

#include <cstdarg>
#include <cstdio>

#include "output.h"
#include "uc_telegram.h"

const char* resultReason(int32_t rc) {
    switch (rc) {
        case RC_ERROR: return "the library refused the call; close other programs that use the controller and retry";
        case RC_TIMEOUT: return "the controller did not answer in time; check that it is on and connected, then retry";
        case RC_NOT_CONNECTED:
            return "the connection to the controller is lost; check the cable or network and run the command again";
        case RC_DRIVER_ERROR: return "the USB library or driver failed; reconnect the controller and retry";
        case RC_INVALID_PARAM: return "the library rejected an argument as out of range";
        case RC_DEVICE_LOCKED: return "another program holds the controller; close it and retry";
        case RC_SYSTEM_ERROR: return "an operating-system call of the USB driver failed; reconnect the controller";
        case RC_NO_DEVICE: return "the controller is no longer listed; run 'positioner list' and retry";
        case RC_OUT_OF_SYNC: return "the connection lost telegram framing; run the command again";
        default: return "the library gave an unknown result";
    }
}

bool reportResult(int32_t rc, const char* actionFormat, ...) {
    if (rc == RC_OK) return true;
    char action[256];
    va_list args;
    va_start(args, actionFormat);
    std::vsnprintf(action, sizeof action, actionFormat, args);
    va_end(args);
    complain("cannot %s: %s (result %d)", action, resultReason(rc), rc);
    return false;
}
