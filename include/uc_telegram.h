/* Controller telegram and result codes shared by dravex and tormak.
 * Usable from C and C++. */
#ifndef UC_TELEGRAM_H
#define UC_TELEGRAM_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes returned by every operation of both libraries. */
enum {
    RC_OK = 0,
    RC_ERROR = -1,
    RC_TIMEOUT = 1,
    RC_NOT_CONNECTED = 2,
    RC_DRIVER_ERROR = 3,
    RC_INVALID_PARAM = 6,
    RC_DEVICE_LOCKED = 7,
    RC_SYSTEM_ERROR = 8,
    RC_NO_DEVICE = 9,
    RC_OUT_OF_SYNC = 10
};

/* Telegram opcodes. */
enum {
    UC_OP_SET = 0,
    UC_OP_GET = 1,
    UC_OP_DO = 2,
    UC_OP_ACK = 3,
    UC_OP_TELL = 4,
    UC_OP_STAT = 5,
    UC_OP_CHRQ = 6
};

/* Registers used by the link itself. */
enum { REG_SYNC = 10, REG_CONTROLLER_TYPE = 359, REG_CONTROLLER_ID = 360 };

#define UC_HEADER_SIZE    20  /* five 32-bit header words              */
#define UC_MAX_TELEGRAM   512 /* largest telegram, the transfer size   */
#define UC_MAX_LENGTH     508 /* largest value of the length word      */
#define UC_MAX_DATA_WORDS 123

/* The controller telegram. Every field is a signed 32-bit little-endian
 * word on the wire; the record is packed without gaps (512 bytes). On a
 * little-endian host the fields can be read directly; portable code reads
 * and writes them as little-endian words at their byte offsets. */
typedef struct UcTelegram {
    int32_t length; /* bytes following the length word          */
    int32_t opcode;
    int32_t address;
    int32_t index;
    int32_t correlation; /* correlation number                       */
    int32_t data[UC_MAX_DATA_WORDS];
} UcTelegram;

#ifdef __cplusplus
}
#endif

#endif
