// The libusb-0.1 API of libusb-win32 (libusb0.dll), loaded at run time:
// there is no import library for it, and a machine without it must still
// load dravex.dll. The 32-bit and the 64-bit libusb0.dll export the same
// names. The functions below have the library's names and signatures (the
// C calling convention) and forward to the DLL; while it cannot be loaded
// they fail: no busses, no handle, a negative code, and usb_strerror()
// says why.
//
// Only the leading fields of the library's records that the transport
// reads are declared; the library allocates the records itself.
#ifndef PLATFORM_WINDOWS_LIBUSB0_H
#define PLATFORM_WINDOWS_LIBUSB0_H

#include <cstddef>

constexpr int kLibUsbPathMax = 512;  // LIBUSB_PATH_MAX of libusb-win32

// Standard USB device descriptor (18 bytes, no padding).
struct usb_device_descriptor {
    unsigned char bLength;
    unsigned char bDescriptorType;
    unsigned short bcdUSB;
    unsigned char bDeviceClass;
    unsigned char bDeviceSubClass;
    unsigned char bDeviceProtocol;
    unsigned char bMaxPacketSize0;
    unsigned short idVendor;
    unsigned short idProduct;
    unsigned short bcdDevice;
    unsigned char iManufacturer;
    unsigned char iProduct;
    unsigned char iSerialNumber;
    unsigned char bNumConfigurations;
};
static_assert(sizeof(usb_device_descriptor) == 18, "USB device descriptor is 18 bytes");

struct usb_bus;

struct usb_device {
    usb_device* next;
    usb_device* prev;
    char filename[kLibUsbPathMax];
    usb_bus* bus;
    usb_device_descriptor descriptor;
    // further fields of the library not used here
};

struct usb_bus {
    usb_bus* next;
    usb_bus* prev;
    char dirname[kLibUsbPathMax];
    usb_device* devices;
    // further fields of the library not used here
};

// Where libusb0.dll has the fields read here. Each record starts with two
// pointers and a path; the pointers take 4 bytes in the 32-bit DLL and 8 in
// the 64-bit one, which moves every later field. (All fields up to these
// lie on their natural alignment, so packing does not move them.)
#if defined(_WIN64)
constexpr std::size_t kUsbDeviceDescriptorOffset = 8 + 8 + kLibUsbPathMax + 8;  // 536
constexpr std::size_t kUsbBusDevicesOffset = 8 + 8 + kLibUsbPathMax;            // 528
#else
constexpr std::size_t kUsbDeviceDescriptorOffset = 4 + 4 + kLibUsbPathMax + 4;  // 524
constexpr std::size_t kUsbBusDevicesOffset = 4 + 4 + kLibUsbPathMax;            // 520
#endif
static_assert(offsetof(usb_device, descriptor) == kUsbDeviceDescriptorOffset,
              "usb_device layout of libusb0.dll");
static_assert(offsetof(usb_bus, devices) == kUsbBusDevicesOffset, "usb_bus layout of libusb0.dll");

struct usb_dev_handle;

// True when libusb0.dll is loaded with every function used here; the first
// call (or usb_init) tries to load it.
bool usbLibraryLoaded();

void usb_init();
void usb_set_debug(int level);
int usb_find_busses();
int usb_find_devices();
usb_bus* usb_get_busses();
usb_dev_handle* usb_open(usb_device* device);
int usb_close(usb_dev_handle* handle);
int usb_claim_interface(usb_dev_handle* handle, int interface);
int usb_release_interface(usb_dev_handle* handle, int interface);
int usb_bulk_read(usb_dev_handle* handle, int endpoint, char* bytes, int size, int timeoutMs);
int usb_bulk_write(usb_dev_handle* handle, int endpoint, const char* bytes, int size, int timeoutMs);
const char* usb_strerror();

#endif
