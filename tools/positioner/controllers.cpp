#include "controllers.h"

#include <cstdio>

#include "json.h"
#include "positioner.h"

const char* carrierName(int32_t carrier) {
    switch (carrier) {
        case POSITIONER_CARRIER_LIBUSB: return "libusb";
        case POSITIONER_CARRIER_DRIVER: return "driver";
        case POSITIONER_CARRIER_TCP: return "tcp";
        default: return "unknown";
    }
}

std::string ControllerEntry::describe() const {
    std::string text = std::string(carrierName(carrier)) + " " + address;
    if (available) text += " (id " + std::to_string(hardwareId) + ")";
    return text;
}

std::vector<ControllerEntry> scanControllers() {
    DetectedDevice* devices = nullptr;
    const int32_t count = PositionerCheck(&devices);
    std::vector<ControllerEntry> controllers;
    for (int32_t n = 0; devices && n < count; ++n) {
        PositionerDeviceDescription info = {};
        std::string address;
        if (PositionerDeviceInfo(n, &info) == RC_OK) {
            info.address[sizeof info.address - 1] = '\0';
            address = info.address;
        } else {
            address = "device " + std::to_string(n);
        }
        ControllerEntry* entry = nullptr;
        for (ControllerEntry& c : controllers)
            if (c.carrier == info.carrier && c.address == address) entry = &c;
        if (!entry) {
            controllers.emplace_back();
            entry = &controllers.back();
            entry->carrier = info.carrier;
            entry->address = address;
        }
        entry->devices.push_back(n);
        if (!devices[n].unavailable) {
            entry->available = true;
            entry->hardwareId = devices[n].hardwareId;
        }
    }
    return controllers;
}

namespace {

std::string deviceList(const std::vector<int32_t>& devices, const char* separator) {
    std::string text;
    for (int32_t d : devices) text += (text.empty() ? "" : separator) + std::to_string(d);
    return text;
}

}  // namespace

void printControllers(const std::vector<ControllerEntry>& controllers, bool json, FILE* out) {
    if (json) {
        std::fprintf(out, "[");
        for (size_t i = 0; i < controllers.size(); ++i) {
            const ControllerEntry& c = controllers[i];
            std::fprintf(out,
                         "%s\n  {\"hardware_id\": %d, \"available\": %s, \"carrier\": \"%s\", \"address\": %s, "
                         "\"devices\": [%s]}",
                         i ? "," : "", c.available ? c.hardwareId : -1, c.available ? "true" : "false",
                         carrierName(c.carrier), jsonString(c.address).c_str(),
                         deviceList(c.devices, ", ").c_str());
        }
        std::fprintf(out, "%s]\n", controllers.empty() ? "" : "\n");
        return;
    }
    std::fprintf(out, "%-11s  %-7s  %-20s  %s\n", "hardware id", "carrier", "address", "device numbers");
    for (const ControllerEntry& c : controllers) {
        const std::string id = c.available ? std::to_string(c.hardwareId) : "unavailable";
        std::fprintf(out, "%-11s  %-7s  %-20s  %s\n", id.c_str(), carrierName(c.carrier), c.address.c_str(),
                     deviceList(c.devices, ", ").c_str());
    }
}
