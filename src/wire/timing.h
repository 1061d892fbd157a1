// Time limits shared by both libraries' transports and links, in
// milliseconds.
#ifndef WIRE_TIMING_H
#define WIRE_TIMING_H

namespace uc {

// One receive wait of a transport; a read that brings nothing in this time
// reports RC_TIMEOUT.
constexpr int kReceiveWaitMs = 500;
// Resynchronising a byte stream: drop bytes until the line is quiet this
// long, but go on for at least the limit.
constexpr int kSyncQuietMs = 500;
constexpr int kSyncLimitMs = 2000;
// Pause after a reply that does not belong to the request (out of step).
constexpr int kOutOfStepPauseMs = 2000;
// Short pauses: after closing a stream, between checks while a device
// settles or a ring slot frees.
constexpr int kShortPauseMs = 100;
// A register read (request and reply) as a whole.
constexpr int kRequestLimitMs = 3000;
// Sending one telegram over USB; waiting for the reply of a querying getter.
constexpr int kSendWaitMs = 10000;
constexpr int kReplyWaitMs = 10000;

}  // namespace uc

#endif
