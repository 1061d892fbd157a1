// Run-time binding of libusb0.dll (see libusb0.h).
#include "platform/windows/libusb0.h"

#include <windows.h>

#include <cerrno>

namespace {

// Result of every call while the library is missing (not one of the codes
// that the transport gives a meaning: -5 interface busy, -116 time-out).
constexpr int kNotLoaded = -ENODEV;

struct LibUsb0 {
    HMODULE module = nullptr;
    void (*init)() = nullptr;
    void (*setDebug)(int) = nullptr;
    int (*findBusses)() = nullptr;
    int (*findDevices)() = nullptr;
    usb_bus* (*getBusses)() = nullptr;
    usb_dev_handle* (*open)(usb_device*) = nullptr;
    int (*close)(usb_dev_handle*) = nullptr;
    int (*claimInterface)(usb_dev_handle*, int) = nullptr;
    int (*releaseInterface)(usb_dev_handle*, int) = nullptr;
    int (*bulkRead)(usb_dev_handle*, int, char*, int, int) = nullptr;
    int (*bulkWrite)(usb_dev_handle*, int, char*, int, int) = nullptr;
    char* (*strerror)() = nullptr;
    bool loaded = false;
};

template <typename Function>
bool bind(HMODULE module, const char* name, Function& function) {
    // GetProcAddress gives a generic function pointer; void (*)() converts
    // to any other function pointer type.
    auto generic = reinterpret_cast<void (*)()>(GetProcAddress(module, name));
    function = reinterpret_cast<Function>(generic);
    return function != nullptr;
}

LibUsb0 load() {
    LibUsb0 api;
    api.module = LoadLibraryA("libusb0.dll");
    if (!api.module) return api;
    api.loaded = bind(api.module, "usb_init", api.init) && bind(api.module, "usb_set_debug", api.setDebug) &&
                 bind(api.module, "usb_find_busses", api.findBusses) &&
                 bind(api.module, "usb_find_devices", api.findDevices) &&
                 bind(api.module, "usb_get_busses", api.getBusses) && bind(api.module, "usb_open", api.open) &&
                 bind(api.module, "usb_close", api.close) &&
                 bind(api.module, "usb_claim_interface", api.claimInterface) &&
                 bind(api.module, "usb_release_interface", api.releaseInterface) &&
                 bind(api.module, "usb_bulk_read", api.bulkRead) &&
                 bind(api.module, "usb_bulk_write", api.bulkWrite) &&
                 bind(api.module, "usb_strerror", api.strerror);
    if (!api.loaded) {
        FreeLibrary(api.module);
        api = LibUsb0();
    }
    return api;  // a loaded library stays loaded for the life of the process
}

const LibUsb0& api() {
    static const LibUsb0 instance = load();
    return instance;
}

}  // namespace

bool usbLibraryLoaded() { return api().loaded; }

void usb_init() {
    if (api().loaded) api().init();
}

void usb_set_debug(int level) {
    if (api().loaded) api().setDebug(level);
}

int usb_find_busses() { return api().loaded ? api().findBusses() : kNotLoaded; }
int usb_find_devices() { return api().loaded ? api().findDevices() : kNotLoaded; }
usb_bus* usb_get_busses() { return api().loaded ? api().getBusses() : nullptr; }
usb_dev_handle* usb_open(usb_device* device) { return api().loaded ? api().open(device) : nullptr; }
int usb_close(usb_dev_handle* handle) { return api().loaded ? api().close(handle) : kNotLoaded; }

int usb_claim_interface(usb_dev_handle* handle, int interface) {
    return api().loaded ? api().claimInterface(handle, interface) : kNotLoaded;
}

int usb_release_interface(usb_dev_handle* handle, int interface) {
    return api().loaded ? api().releaseInterface(handle, interface) : kNotLoaded;
}

int usb_bulk_read(usb_dev_handle* handle, int endpoint, char* bytes, int size, int timeoutMs) {
    return api().loaded ? api().bulkRead(handle, endpoint, bytes, size, timeoutMs) : kNotLoaded;
}

int usb_bulk_write(usb_dev_handle* handle, int endpoint, const char* bytes, int size, int timeoutMs) {
    // The library's signature takes a writable buffer; it only reads it.
    return api().loaded ? api().bulkWrite(handle, endpoint, const_cast<char*>(bytes), size, timeoutMs)
                        : kNotLoaded;
}

const char* usb_strerror() {
    if (!api().loaded) return "libusb0.dll cannot be loaded";
    const char* text = api().strerror();
    return text ? text : "";
}
