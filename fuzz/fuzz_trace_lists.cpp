// Feeds arbitrary bytes to the list-file reader as "traceblacklist.txt".
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "wire/telegram.h"
#include "trace.h"

// The list files are read from the working directory: work in a private one.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char name[] = "/tmp/uc_fuzz_lists_XXXXXX";
    if (!mkdtemp(name) || chdir(name) != 0) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* list = std::fopen("traceblacklist.txt", "wb");
    if (!list) return 0;
    std::fwrite(data, 1, size, list);
    std::fclose(list);
    traceInit("/dev/null", "F", 0x1FC);
    UcTelegram t{};
    for (int32_t address : {0, 1, -1, 0x7FFFFFFF, static_cast<int32_t>(size)}) {
        uc::buildAck(t, address, 0, 1, 0, 0);
        traceTelegram("F", &t, 0x20);
    }
    return 0;
}
