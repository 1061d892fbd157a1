// Writes, or checks, the files that copy the register map for those who
// cannot include it: the export list of the tests, the Python binding table
// and the Python ranges module. The copies are committed; the test command
// runs --check and fails when one is stale.
//   positioner_make_copies --write|--check SOURCE_DIR
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "export_list.h"
#include "ranges.h"

namespace {

const char kPythonHeader[] =
    "# Written from src/positioner/register_map.h by src/positioner/make_copies.cpp;\n"
    "# do not edit: build the target positioner_copies to write it again.\n";

std::string exportList() {
    std::vector<std::string> lines;
    for (const pos::ExportName& e : pos::kExportNames)
        lines.push_back(e.name + (" " + std::to_string(e.argBytes)));
    std::sort(lines.begin(), lines.end());
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

std::string signatureDict(const char* variable, pos::Origin origin) {
    std::string text = std::string(variable) + ": Dict[str, str] = {\n";
    for (const pos::ExportName& e : pos::kExportNames)
        if (e.origin == origin) text += "    \"" + std::string(e.name) + "\": \"" + e.letters + "\",\n";
    return text + "}\n";
}

std::string functionsModule() {
    return std::string(kPythonHeader) +
           "\"\"\"The Positioner functions of libdravex with their C arguments, one letter\n"
           "each, handle first (see _binding; D: DetectedDevice**, R:\n"
           "PositionerDeviceDescription*, U: uint32*): ORIGINAL, the 64 of the\n"
           "Positioner family, and ADDED, the functions added beside them.\"\"\"\n"
           "from typing import Dict\n\n" +
           signatureDict("ORIGINAL", pos::Origin::Original) + signatureDict("ADDED", pos::Origin::Added);
}

std::string rangeText(const pos::Range& r) {
    return r.checked ? "(" + std::to_string(r.lo) + ", " + std::to_string(r.hi) + ")" : "None";
}

std::string rangesModule() {
    std::string text = std::string(kPythonHeader) +
                       "\"\"\"The ranges the library checks for the arguments of its setters: per\n"
                       "function one (lowest, highest) per argument after the handle, None where\n"
                       "it checks none.\"\"\"\n"
                       "from typing import Dict, Optional, Tuple\n\n"
                       "Range = Optional[Tuple[int, int]]\n\n"
                       "AXIS = " +
                       rangeText(pos::kAxisRange) +
                       "\n"
                       "ARGUMENTS: Dict[str, Tuple[Range, ...]] = {\n";
    for (const pos::ArgRanges& f : pos::kArgRanges) {
        text += "    \"" + std::string(f.name) + "\": (";
        for (int i = 0; i < f.count; ++i) text += (i ? ", " : "") + rangeText(f.args[i]);
        text += f.count == 1 ? ",),\n" : "),\n";
    }
    return text +
           "}\n\n\n"
           "def value_range(function: str) -> Range:\n"
           "    \"\"\"The range of a setter's last argument (the value it sends).\"\"\"\n"
           "    return ARGUMENTS[function][-1]\n\n\n"
           "def limits(function: str) -> Tuple[int, int]:\n"
           "    \"\"\"value_range of a setter whose value the library checks.\"\"\"\n"
           "    found = value_range(function)\n"
           "    if found is None:\n"
           "        raise ValueError(f\"{function} checks no range for its value\")\n"
           "    return found\n\n\n"
           "def text(function: str) -> str:\n"
           "    \"\"\"The checked value range of a setter as text: '0..140000'.\"\"\"\n"
           "    low, high = limits(function)\n"
           "    return f\"{low}..{high}\"\n";
}

struct Copy {
    const char* path;  // below the source directory
    std::string (*content)();
};

const Copy kCopies[] = {
    {"tests/foundation/exports/positioner.txt", exportList},
    {"python/dravex/_positioner_functions.py", functionsModule},
    {"python/dravex/ranges.py", rangesModule},
};

bool readFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    text = buffer.str();
    return true;
}

bool writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    const bool write = argc == 3 && std::strcmp(argv[1], "--write") == 0;
    if (argc != 3 || (!write && std::strcmp(argv[1], "--check") != 0)) {
        std::fprintf(stderr, "usage: positioner_make_copies --write|--check SOURCE_DIR\n");
        return 2;
    }
    int status = 0;
    for (const Copy& copy : kCopies) {
        const std::string path = std::string(argv[2]) + "/" + copy.path;
        const std::string wanted = copy.content();
        std::string present;
        if (readFile(path, present) && present == wanted) continue;
        if (write) {
            if (!writeFile(path, wanted)) {
                std::fprintf(stderr, "cannot write %s\n", path.c_str());
                status = 1;
            } else {
                std::printf("wrote %s\n", copy.path);
            }
            continue;
        }
        std::fprintf(stderr,
                     "%s is stale: it no longer matches src/positioner/register_map.h; build the target "
                     "positioner_copies (cmake --build BUILD --target positioner_copies) and commit it\n",
                     copy.path);
        status = 1;
    }
    return status;
}
