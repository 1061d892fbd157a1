// The device registry: the process-wide list of connection objects, and
// connect, disconnect, send, receive and register reads by device number.
#ifndef LINK_UC_LINK_H
#define LINK_UC_LINK_H

#include <memory>

#include "trace.h"
#include "transport/uc_device.h"
#include "uc_telegram.h"

// Carrier mask bits of UC_presence.
enum {
    UC_CARRIER_USB = 0x1,      // libusb, then the kernel driver
    UC_CARRIER_VELORIX = 0x2,  // "Velorix discovery" probe
    UC_CARRIER_ADDP = 0x4,     // ADDP probe
    UC_CARRIER_ALL = 0x7F
};

constexpr int UC_NO_FALLBACK = -99999;
constexpr int UC_IDENTITY_FALLBACK = -1;
// The completion read of UC_recv gives up after this many receive
// time-outs (about 2000 ms with the 500 ms waits of the transports).
constexpr int UC_COMPLETION_ATTEMPTS = 4;
// UC_getValue repeats a GET exchange that ends out of sync at most this
// often.
constexpr int UC_REQUEST_ATTEMPTS = 3;

void UC_setUsbBuffers(int size, int count);
int UC_presence(int* count, int flags);
int UC_init(int device);
int UC_shutdown(int device);
bool UC_isConnected(int device);
int UC_initAsync(int device, int address);
bool UC_initStatus(int device, int* result, int* step);
void UC_abort();
const char* UC_getName(int device);
int UC_getTransport(int device);
int UC_getTransferSize();
int UC_getType(int device, int* value);
int UC_getId(int device, int* value);
int UC_getValue(int device, int address, int* value, int fallback);
int UC_send(int device, int count, const void* bytes);
int UC_recv(int device, UcTelegram* buffer);
int UC_cancelIo(int device);
int UC_startSync(int device);
int UC_request(int device, int address, int* value);
bool UC_isReply(const UcTelegram* tel);
int UC_sendHeader(int device, int address, int opcode);

// The device object behind a device number, shared with the caller (null
// for a bad number). A holder keeps the object alive across later scans;
// the operations below that take a UcDevice& act on such an object
// directly, so an open handle stays on its own controller whatever the
// list holds by then.
std::shared_ptr<UcDevice> UC_deviceRef(int device);
int UC_init(UcDevice& device);
int UC_shutdown(UcDevice& device);
bool UC_isConnected(const UcDevice& device);
int UC_getType(UcDevice& device, int* value);
int UC_getId(UcDevice& device, int* value);
int UC_getValue(UcDevice& device, int address, int* value, int fallback);
int UC_send(UcDevice& device, int count, const void* bytes);
int UC_recv(UcDevice& device, UcTelegram* buffer);
int UC_cancelIo(UcDevice& device);
int UC_startSync(UcDevice& device);
int UC_request(UcDevice& device, int address, int* value);
int UC_sendHeader(UcDevice& device, int address, int opcode);

// USB ring settings that the next scan gives the libusb devices it creates.
transport::UsbRingConfig UC_usbRingConfig();

#endif
