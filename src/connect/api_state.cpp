#include "api_state.h"

namespace tmk {

ApiState& apiState() {
    static ApiState state;
    return state;
}

const Carrier* chosenCarrier() {
    switch (apiState().connectionType) {
        case ConnectionType::Usb: return &usbCarrier();
        case ConnectionType::Ethernet: return &ethernetCarrier();
        default: return nullptr;
    }
}

bool isOpenHandle(int handle) { return apiState().handleVariants.count(handle) != 0; }

}  // namespace tmk
