// Listing the kernel-driver devices: one device object per interface of
// each hardware variant's GUID, variant 1 first.
#include "transport/usbdriver/uc_usb_driver_device.h"

#include "uc_telegram.h"

namespace transport {

int scanDriverDevices(UcDeviceList& list) {
    static const uint8_t kVariants[] = {1, 0};
    int results[2];
    for (int g = 0; g < 2; ++g) {
        int n = 0;
        results[g] = plat::countInterfaces(plat::interfaceGuid(kVariants[g] == 1), &n, RC_OK);
        if (results[g] != RC_OK) continue;
        for (int i = 0; i < n; ++i)
            list.push_back(std::unique_ptr<UcDevice>(new UcUsbDriverDevice(kVariants[g], i)));
    }
    return (results[0] != RC_OK && results[1] != RC_OK) ? results[1] : RC_OK;
}

}  // namespace transport
