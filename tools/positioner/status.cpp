#include "status.h"

std::string statusText(int32_t status) {
    static const struct {
        int32_t bit;
        const char* name;
    } kBits[] = {{kMoving, "moving"},
                 {kTargetReached, "target reached"},
                 {kEndOfTravel, "end of travel"},
                 {kApproachActive, "approach active"}};
    std::string text;
    for (const auto& b : kBits) {
        if (status & b.bit) text += (text.empty() ? "" : ", ") + std::string(b.name);
    }
    return text.empty() ? "idle" : text;
}
