// Opens the first controller through the raw telegram channel, prints its
// type and id, then reads one register with a hand-built GET telegram.
//
//   tormak-example [register [index]]     default: 1025 (frequency), axis 0
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <dravex/tormak.h>

namespace {

// Owns one open channel handle.
class Channel {
public:
    explicit Channel(int deviceNo) { result_ = TMK_init(deviceNo, &handle_); }
    ~Channel() {
        if (result_ == RC_OK) TMK_shutdown(handle_);
    }
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    int result() const { return result_; }
    int handle() const { return handle_; }

private:
    int handle_ = -1;
    int result_ = RC_ERROR;
};

// Sends GET address[index] and waits up to 3 s for its ACK, skipping the
// TELL telegrams the controller sends on its own.
int readRegister(int handle, int32_t address, int32_t index, int32_t* value) {
    UcTelegram request{};
    request.length = 16;  // header only
    request.opcode = UC_OP_GET;
    request.address = address;
    request.index = index;
    request.correlation = 1;
    int rc = TMK_send(handle, request.length + 4, &request);
    if (rc != RC_OK) return rc;

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (std::chrono::steady_clock::now() < deadline) {
        UcTelegram reply{};
        rc = TMK_recv(handle, sizeof reply, &reply);
        if (rc == RC_TIMEOUT || rc == RC_OUT_OF_SYNC) continue;
        if (rc != RC_OK) return rc;
        if (reply.opcode == UC_OP_ACK && reply.address == address && reply.index == index) {
            *value = reply.data[1];  // data word 0 is the reason
            return RC_OK;
        }
    }
    return RC_TIMEOUT;
}

}  // namespace

int main(int argc, char** argv) {
    const int32_t address = argc > 1 ? std::atoi(argv[1]) : 1025;
    const int32_t index = argc > 2 ? std::atoi(argv[2]) : 0;

    TMK_initTrace(nullptr);  // error lines to standard error
    int count = 0;
    int rc = TMK_presence(&count, false);
    if (rc != RC_OK || count == 0) {
        std::fprintf(stderr, "no controller found (result %d)\n", rc);
        return 1;
    }
    std::printf("controllers found: %d\n", count);

    Channel channel(0);
    if (channel.result() != RC_OK) {
        std::fprintf(stderr, "TMK_init failed with result %d\n", channel.result());
        return 1;
    }
    int type = 0, id = 0;
    if ((rc = TMK_getType(channel.handle(), &type)) != RC_OK ||
        (rc = TMK_getId(channel.handle(), &id)) != RC_OK) {
        std::fprintf(stderr, "reading type and id failed with result %d\n", rc);
        return 1;
    }
    std::printf("device 0: type 0x%X, id %d\n", static_cast<unsigned>(type), id);

    int32_t value = 0;
    if ((rc = readRegister(channel.handle(), address, index, &value)) != RC_OK) {
        std::fprintf(stderr, "GET %d[%d] failed with result %d\n", address, index, rc);
        return 1;
    }
    std::printf("register %d[%d] = %d\n", address, index, value);
    return 0;
}
