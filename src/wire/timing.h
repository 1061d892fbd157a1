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
// How long a teardown of the USB kernel-driver transport waits for an
// aborted request to be given back.
constexpr int kSettleLimitMs = 1000;

// dravex only.
// Network discovery: the first reply wait, which halves after every cycle
// that brought replies but not below the floor (controllers answering from
// threads of their own on a busy host reply a few milliseconds apart), and
// the bound of a whole search after its probes, however many replies keep
// arriving.
constexpr int kFirstReplyWaitMs = 500;
constexpr int kReplyWaitFloorMs = 100;
constexpr int kSearchLimitMs = 3000;
// A TCP connect to a controller named by its address.
constexpr int kAddressConnectLimitMs = 5000;
// At process exit: how long the receive loops of open handles get to end.
constexpr int kExitWaitMs = 2000;

// tormak only: the wait for the next reply of its network search.
constexpr int kSearchReplyWaitMs = 1000;

}  // namespace uc

#endif
