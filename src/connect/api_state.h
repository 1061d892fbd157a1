// Process-wide state of the TMK_ functions: the carrier chosen for the
// process, the number of variant-1 devices that lead the numbering, and
// which open handles were opened as variant-1 devices.
#ifndef CONNECT_API_STATE_H
#define CONNECT_API_STATE_H

#include <map>

#include "carrier.h"

namespace tmk {

enum class ConnectionType { None = 0, Usb = 1, Ethernet = 2 };

struct ApiState {
    ConnectionType connectionType = ConnectionType::None;  // set once, never reset
    int variantCount = 0;
    std::map<int, bool> handleVariants;
};

ApiState& apiState();

// The carrier that connectionType names; nullptr before the choice.
const Carrier* chosenCarrier();

// True for a handle that TMK_init opened and TMK_shutdown has not closed.
// An Ethernet handle is a descriptor of the process: one that tormak did
// not open, or has closed already, must never reach the socket calls.
bool isOpenHandle(int handle);

// TMK_recv without its unused size argument: receives into a buffer of
// UC_MAX_TELEGRAM bytes; *bytes receives how many of them the carrier
// filled. Handles loss of framing and out-of-turn register-10 reports.
int receiveChecked(int handle, void* buffer, int* bytes);

}  // namespace tmk

#endif
