// Applies ACK and TELL telegrams to the axis cache of a handle.
#ifndef POSITIONER_DISPATCHER_H
#define POSITIONER_DISPATCHER_H

#include "handle_table.h"

namespace pos {

// tel is an ACK or a TELL; receivedLength is its length word as it came
// (before any bounding for tracing). Telegrams with an index outside 0..5,
// an address outside the table, or too short to carry their value word
// change nothing. A value that changed wakes the handle's report waiters.
void dispatch(HandleEntry& h, const UcTelegram& tel, int32_t receivedLength);

}  // namespace pos

#endif
