// Finding network controllers for tormak: one ADDP probe from one UDP
// socket, sent out of the system's default interface, and the source
// address of every datagram that answers.
#ifndef CONNECT_ADDP_SEARCH_H
#define CONNECT_ADDP_SEARCH_H

#include <cstdint>

namespace tmk {

constexpr int kMaxControllers = 256;

// Sends the probe and collects reply sources (network byte order) in
// reply order until a wait of waitMs passes without a reply or capacity
// addresses are stored. *found receives the number stored. 0, or -1 after
// a socket failure (reported through the trace facility).
int searchAddp(int waitMs, uint32_t* addresses, int capacity, int* found);

}  // namespace tmk

#endif
