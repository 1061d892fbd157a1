/* Calls into tormak from C: the public header must compile as C. */
#include "tormak.h"

int tmkTransferSizeFromC(void);

int tmkTransferSizeFromC(void) {
    int (*const check)(int) = TMK_getTransferSize;
    return check(0);
}
