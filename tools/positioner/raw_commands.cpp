// get and set: one controller register through the raw channel.
#include <cstdio>

#include "commands.h"
#include "exit_codes.h"
#include "output.h"
#include "raw_channel.h"
#include "trace.h"

namespace {

int report(int32_t reg, int32_t index, const RegisterReply& reply, const char* verb) {
    if (reply.reason != 0) {
        complain("the controller refused to %s register %d (0x%X) index %d: reason %d (%s)", verb, reg, reg,
                 index, reply.reason, tracePrintReason(reply.reason));
        return kExitFailed;
    }
    std::printf("register %d (0x%X) index %d: %d (0x%X)\n", reg, reg, index, reply.value,
                static_cast<unsigned>(reply.value));
    return kExitOk;
}

}  // namespace

int commandGet(Invocation& call) {
    const int32_t reg = call.args.number(0), index = call.args.number(1);
    RegisterReply reply;
    const int code = call.raw->exchange(false, reg, index, 0, &reply);
    return code != kExitOk ? code : report(reg, index, reply, "read");
}

int commandSet(Invocation& call) {
    const int32_t reg = call.args.number(0), index = call.args.number(1);
    RegisterReply reply;
    const int code = call.raw->exchange(true, reg, index, call.args.number(2), &reply);
    return code != kExitOk ? code : report(reg, index, reply, "write");
}
