// Writes the module-definition file of dravex for Windows builds: every
// Positioner function under its plain and its decorated stdcall name,
// both bound to the compiler's symbol of the stdcall function (the linker
// reads "Name@bytes" in a module-definition file as the symbol
// "_Name@bytes"). With --plain-names (x86-64: one calling convention,
// undecorated symbols) each function is exported under its plain name only.
//   positioner_make_def FILE [--plain-names]
#include <cstdio>
#include <cstring>

#include "export_list.h"

int main(int argc, char** argv) {
    const bool plainNamesOnly = argc > 2 && std::strcmp(argv[2], "--plain-names") == 0;
    FILE* out = argc > 1 ? std::fopen(argv[1], "w") : stdout;
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    std::fprintf(out, "LIBRARY dravex\nEXPORTS\n");
    for (const pos::ExportName& e : pos::kExportNames) {
        if (plainNamesOnly) {
            std::fprintf(out, "    %s\n", e.name);
            continue;
        }
        std::fprintf(out, "    %s = %s@%d\n    _%s@%d = %s@%d\n", e.name, e.name, e.argBytes, e.name,
                     e.argBytes, e.name, e.argBytes);
    }
    return out == stdout || std::fclose(out) == 0 ? 0 : 1;
}
