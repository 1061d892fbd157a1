// Reading telegrams from the TCP stream of a controller. The stream has no
// framing of its own: the length word of each telegram tells where the
// next one begins, and two plausibility checks (size, opcode) detect a
// reader that lost step.
#include <cstdint>
#include <cstring>

#include "platform/socket_os.h"
#include "sockets.h"
#include "wire/telegram.h"
#include "wire/tick.h"
#include "trace.h"
#include "wait.h"

namespace net {

namespace {

enum class ReadStep { Ok, TimedOut, Failed };

int receiveRetrying(int socket, char* into, int count, int flags) {
    int n;
    do n = static_cast<int>(recv(socket, into, count, flags));
    while (n < 0 && plat::socketCallInterrupted());
    return n;
}

// Reads up to count bytes from the socket, waiting at most waitMs for it
// to become readable. With tryFirst (where the system can read without
// waiting), bytes already in hand (the rest of a telegram, or the next one
// of a steady flow) are taken without a wait call, which is then made only
// when the socket is empty.
ReadStep readSocket(int socket, int waitMs, char* into, int count, int* got, bool tryFirst) {
    int n = -1;
    bool waitFirst = true;
    if (tryFirst && plat::kHasNoWaitReceive) {
        n = receiveRetrying(socket, into, count, plat::kNoWaitReceiveFlag);
        waitFirst = n < 0 && plat::socketWouldBlock();
    }
    if (waitFirst) {
        int ready = waitReadable(socket, waitMs);
        if (ready < 0) {
            traceOsError(false, "Receive from controller: select() failed", true);
            return ReadStep::Failed;
        }
        if (ready == 0) return ReadStep::TimedOut;
        n = receiveRetrying(socket, into, count, 0);
    }
    if (n <= 0) {
        if (n == 0) plat::clearSocketError();  // the peer closed the stream
        traceOsError(false, "Receive from controller: recv() failed", true);
        return ReadStep::Failed;
    }
    *got += n;
    return ReadStep::Ok;
}

// Reads up to count bytes of the stream: from the read-ahead while it
// holds any, which is refilled with whatever the socket has when empty.
// A refill after one that found less than it had room for has drained the
// socket, so it waits first instead of trying a read that finds nothing.
ReadStep readSome(int socket, StreamReadAhead* ahead, int waitMs, char* into, int count, int* got) {
    if (!ahead) return readSocket(socket, waitMs, into, count, got, true);
    if (ahead->held() == 0) {
        const bool mayHoldMore = ahead->filledUp;
        ahead->clear();
        ReadStep step =
            readSocket(socket, waitMs, ahead->bytes, StreamReadAhead::kCapacity, &ahead->end, mayHoldMore);
        if (step != ReadStep::Ok) return step;
        ahead->filledUp = ahead->end == StreamReadAhead::kCapacity;
    }
    const int n = count < ahead->held() ? count : ahead->held();
    std::memcpy(into, ahead->bytes + ahead->begin, static_cast<size_t>(n));
    ahead->begin += n;
    *got += n;
    return ReadStep::Ok;
}

}  // namespace

int receiveTelegram(int socket, int waitMs, void* buffer, StreamReadAhead* ahead) {
    char* bytes = static_cast<char*>(buffer);
    int got = 0;
    int64_t want = 4;
    // Every read waits at most waitMs, the first for the telegram to begin,
    // the others for its remaining segments, so a peer that stops in the
    // middle of a telegram cannot hold the reader.
    while (got < want) {
        ReadStep step = readSome(socket, ahead, waitMs, bytes + got, static_cast<int>(want - got), &got);
        if (step == ReadStep::Failed) return -1;
        if (step == ReadStep::TimedOut) {
            if (got == 0) return 0;
            traceError(false,
                       "Receive from controller: telegram incomplete (%d of %lld bytes), "
                       "assuming out of sync",
                       got, static_cast<long long>(want));
            return -2;
        }
        if (got == 4 && want == 4) {
            want = uc::wireSize(uc::get32(bytes, uc::kLengthOffset));
            if (want > UC_MAX_TELEGRAM) {
                traceError(false, "Receive from controller: Length too large (%lld), assuming out of sync",
                           static_cast<long long>(want));
                return -2;
            }
        }
    }
    // A length word below 4 ends the read with fewer than 8 bytes; such a
    // short telegram is passed on without an opcode test.
    if (got >= 8) {
        int32_t opcode = uc::get32(bytes, uc::kOpcodeOffset);
        if (opcode != UC_OP_ACK && opcode != UC_OP_TELL) {
            traceError(false, "Receive from controller: invalid opcode %d, assuming out of sync", opcode);
            return -2;
        }
    }
    return got;
}

int drainStream(int socket, int quietMs, int limitMs, int* skipped, StreamReadAhead* ahead) {
    const int64_t start = uc::tickMs();
    *skipped = 0;
    for (;;) {
        char byte;
        int got = 0;
        ReadStep step = readSome(socket, ahead, quietMs, &byte, 1, &got);
        if (step == ReadStep::Failed) return -1;
        if (step == ReadStep::TimedOut) return 0;
        ++*skipped;
        if (uc::tickMs() - start > limitMs) return -2;
    }
}

int syncToStream(int socket, int quietMs, int limitMs, StreamReadAhead* ahead) {
    int skipped = 0;
    int result = drainStream(socket, quietMs, limitMs, &skipped, ahead);
    if (result == 0) traceTrace("Sync finished, %d bytes skipped", skipped);
    if (result == -2) traceError(false, "Sync to datastream failed, %d bytes skipped", skipped);
    return result;
}

}  // namespace net
