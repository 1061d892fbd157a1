// The one piece of JSON the program needs beyond numbers: strings.
#ifndef TOOLS_POSITIONER_JSON_H
#define TOOLS_POSITIONER_JSON_H

#include <string>

// text as a quoted JSON string, control characters escaped.
std::string jsonString(const std::string& text);

#endif
