/* tormak: raw telegram channel to the positioner controller, over USB
 * (kernel driver) or Ethernet (TCP after ADDP discovery). One carrier
 * serves the whole process; it is chosen by the first TMK_presence that
 * finds a device, USB first. Usable from C and C++.
 *
 * Every function that returns an int returns a result code (RC_* of
 * uc_telegram.h): 0 done, 1 nothing received in time, 2 no such device or
 * handle not open, 3 USB device list unavailable, 7 device held by another
 * opener, 8 operating-system failure of the USB transport, 10 stream lost
 * telegram framing, -1 any other failure, also every call made before a
 * carrier was chosen. */
#ifndef TORMAK_H
#define TORMAK_H

#include "uc_export.h"
#include "uc_telegram.h"

#ifndef __cplusplus
#include <stdbool.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

struct TraceParams;

/* Sets up tracing: a non-null record becomes the current trace record;
 * null traces to standard error with no prefix and flags 0x1FC. Nothing
 * is written before this call (or traceInit). */
UC_EXPORT void UC_CDECL TMK_initTrace(struct TraceParams* params);

/* Chooses the carrier if none is chosen yet and counts the devices into
 * *count. With withVariant the variant-1 USB devices come first in the
 * numbering. Returns 2 when no device was found (the next call searches
 * both carriers again). Device numbers stay valid until the next call. */
UC_EXPORT int UC_CDECL TMK_presence(int* count, bool withVariant);

/* Opens device deviceNo of the last TMK_presence; *handle receives the
 * handle (-1 or 0 on failure). */
UC_EXPORT int UC_CDECL TMK_init(int deviceNo, int* handle);

/* Closes the handle (USB: releases its slot; Ethernet: closes the socket,
 * 100 ms pause before and after). Also required after TMK_cancelIo. */
UC_EXPORT int UC_CDECL TMK_shutdown(int handle);

/* Reads the controller type (register 359) into *type. A variant-1
 * handle gives -1 without asking the controller; a handle that is not
 * open returns -1. Gives up with 1 after 3000 ms without the answer. */
UC_EXPORT int UC_CDECL TMK_getType(int handle, int* type);

/* Reads the controller id (register 360) into *id, as TMK_getType. */
UC_EXPORT int UC_CDECL TMK_getId(int handle, int* id);

/* Size of one transfer unit and of every receive buffer: 512, or -1
 * before a carrier is chosen. The handle is not examined. */
UC_EXPORT int UC_CDECL TMK_getTransferSize(int handle);

/* Sends one whole telegram of size bytes (its length word + 4). */
UC_EXPORT int UC_CDECL TMK_send(int handle, int size, const void* data);

/* Receives one telegram into buffer, which must hold 512 bytes (size is
 * not used). 1 when nothing came within 500 ms, or after a 2000 ms pause
 * when the controller reported register 10 out of turn; 10 when the
 * stream lost framing (it has then been resynchronised). */
UC_EXPORT int UC_CDECL TMK_recv(int handle, int size, void* buffer);

/* USB: aborts the pending transfers and drops the connection; afterwards
 * TMK_send returns 2 and TMK_recv -1 until TMK_shutdown. Ethernet: 0. */
UC_EXPORT int UC_CDECL TMK_cancelIo(int handle);

/* Ethernet: sends the resynchronisation SET of register 10 and drops
 * incoming bytes until the line is quiet (about 2000 ms): 0 quiet, 10
 * still busy, -1 socket failure. USB: 0 at once. */
UC_EXPORT int UC_CDECL TMK_startSync(int handle);

#ifdef __cplusplus
}
#endif

#endif
