// Reads an axis configuration file by the rules of PositionerLoad and
// lists the lines whose pairs it skips, so that the program can name them.
#ifndef TOOLS_POSITIONER_CONFIG_CHECK_H
#define TOOLS_POSITIONER_CONFIG_CHECK_H

#include <string>
#include <vector>

struct SkippedPair {
    int line;            // line of the keyword, from 1
    std::string reason;  // "unknown keyword 'x'"
};

// The pairs PositionerLoad does not send, in file order; false when the
// file cannot be read.
bool findSkippedPairs(const std::string& fileName, std::vector<SkippedPair>* skipped);

#endif
