// Traces arbitrary telegram bytes with arbitrary flags and categories.
#include <cstring>

#include "trace.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool initialised = false;
    if (!initialised) {
        traceInit("/dev/null", "F", 0x1FF);
        initialised = true;
    }
    if (size < 8) return 0;
    int flags, categories;
    std::memcpy(&flags, data, 4);
    std::memcpy(&categories, data + 4, 4);
    UcTelegram t;
    std::memset(&t, 0, sizeof t);
    std::memcpy(&t, data + 8, size - 8 < sizeof t ? size - 8 : sizeof t);
    traceSetFlags(flags | 0x004);
    traceTelegram("F", &t, categories);
    traceTelError(false, "F", &t);
    tracePrintReason(t.data[0]);
    return 0;
}
