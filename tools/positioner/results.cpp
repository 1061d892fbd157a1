#include "results.h"

#include <cstdio>

#include "uc_telegram.h"

const char* resultText(int32_t rc) {
    switch (rc) {
        case RC_OK: return "done";
        case RC_ERROR: return "failed: no free handle, or the handle is not open";
        case RC_TIMEOUT: return "the controller did not answer in time";
        case RC_NOT_CONNECTED: return "the controller is not connected, or the connection was lost";
        case RC_DRIVER_ERROR: return "the USB library or the driver's device list failed";
        case RC_INVALID_PARAM: return "invalid argument: a value is out of range, or the file cannot be opened";
        case RC_DEVICE_LOCKED: return "the device is held by another program or handle";
        case RC_SYSTEM_ERROR: return "an operating-system call of the USB driver failed";
        case RC_NO_DEVICE: return "no such device number (see 'positioner list')";
        case RC_OUT_OF_SYNC: return "the connection lost telegram framing";
        default: return "unknown result";
    }
}

bool reportResult(const char* what, int32_t rc) {
    if (rc == RC_OK) return true;
    std::fprintf(stderr, "positioner: %s: %s (result %d)\n", what, resultText(rc), rc);
    return false;
}
