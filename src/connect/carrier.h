// The operations that each carrier of tormak (USB through the kernel
// driver, Ethernet through TCP) offers to the TMK_ functions. The API
// layer calls the carrier that the process chose, through this table.
#ifndef CONNECT_CARRIER_H
#define CONNECT_CARRIER_H

namespace tmk {

struct Carrier {
    // Counts the reachable devices. Result code; on 0 the counts are set.
    int (*count)(int* variant1Count, int* variant0Count);
    // Opens device `number` of the variant-1 list (isVariant) or of the
    // variant-0 list. *handle receives the handle, or -1/0 on failure.
    int (*open)(int number, bool isVariant, int* handle);
    int (*close)(int handle);
    // Receives into a buffer of UC_MAX_TELEGRAM bytes; *bytes receives the
    // number of bytes of it that the carrier filled.
    int (*receive)(int handle, void* buffer, int* bytes);
    int (*send)(int handle, int size, const void* data);
    int (*cancel)(int handle);
    int (*resync)(int handle);
    // Asks the controller to resynchronise and finds the telegram framing
    // again (TMK_startSync); nullptr where the carrier keeps its framing
    // (USB transfers), so that there is nothing to do.
    int (*startSync)(int handle);
};

const Carrier& usbCarrier();
const Carrier& ethernetCarrier();

}  // namespace tmk

#endif
