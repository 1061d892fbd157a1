// Writes the module-definition file of dravex for Windows builds: every
// Positioner function under its plain and its decorated stdcall name,
// both bound to the compiler's symbol of the stdcall function (the linker
// reads "Name@bytes" in a module-definition file as the symbol
// "_Name@bytes").
#include <cstdio>

#include "export_list.h"

int main(int argc, char** argv) {
    FILE* out = argc > 1 ? std::fopen(argv[1], "w") : stdout;
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    std::fprintf(out, "LIBRARY dravex\nEXPORTS\n");
    for (const pos::ExportName& e : pos::kExportNames) {
        std::fprintf(out, "    %s = %s@%d\n    _%s@%d = %s@%d\n", e.name, e.name, e.argBytes, e.name,
                     e.argBytes, e.name, e.argBytes);
    }
    return out == stdout || std::fclose(out) == 0 ? 0 : 1;
}
