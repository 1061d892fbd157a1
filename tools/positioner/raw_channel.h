// The raw telegram channel (tormak) to one controller, for get and set:
// found by tormak's own scan, chosen by --id or as the only one found.
#ifndef TOOLS_POSITIONER_RAW_CHANNEL_H
#define TOOLS_POSITIONER_RAW_CHANNEL_H

#include <cstdint>

#include "settings.h"

struct RegisterReply {
    int32_t reason = 0;  // 0: the controller accepted the request
    int32_t value = 0;
};

class RawChannel {
public:
    explicit RawChannel(const Settings& settings) : settings_(settings) {}
    ~RawChannel();
    RawChannel(const RawChannel&) = delete;
    RawChannel& operator=(const RawChannel&) = delete;

    // Scans and opens the controller. Returns kExitOk or an exit status
    // after one message.
    int open();
    // Sends GET (set false) or SET := value of reg[index] and waits for the
    // controller's ACK of that register and index. Returns kExitOk or an
    // exit status after one message.
    int exchange(bool set, int32_t reg, int32_t index, int32_t value, RegisterReply* reply);

private:
    Settings settings_;
    int handle_ = -1;
};

#endif
