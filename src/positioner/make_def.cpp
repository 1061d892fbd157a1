// Writes the module-definition file of dravex for Windows builds: every
// Positioner function under its plain and its decorated stdcall name.
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
        std::fprintf(out, "    %s\n    _%s@%d = %s\n", e.name, e.name, e.argBytes, e.name);
    }
    return out == stdout || std::fclose(out) == 0 ? 0 : 1;
}
