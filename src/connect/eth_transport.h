// Ethernet carrier of tormak: controllers found by the ADDP search, one
// TCP connection per handle; the handle is the connected socket.
#ifndef CONNECT_ETH_TRANSPORT_H
#define CONNECT_ETH_TRANSPORT_H

#include <cstdint>

namespace tmk {
namespace eth {


// Rebuilds the address table by an ADDP search; every controller counts
// as variant 0. 0, or -1 when the search failed (table left empty).
int count(int* variant1Count, int* variant0Count);
// Connects to controller `number` of the table: 0 with the socket, or 2
// (handle 0 when refused: a variant number or one beyond the table;
// handle -1 when the connection failed).
int open(int number, bool isVariant, int* handle);
// Closes the socket with a pause before and after. 0, or 2 for socket <= 0.
int close(int socket);
// One whole telegram: 0, 1 nothing within the wait, 10 out of sync, -1
// socket failure, 2 for socket <= 0.
int receive(int socket, void* buffer, int* bytes);
// 0, -1 send failure, 2 for socket <= 0.
int send(int socket, int size, const void* data);
// Nothing to cancel on a socket: 0.
int cancel(int socket);
// Drops bytes until the line is quiet for 500 ms; always lasts at least
// the 2000 ms limit. 0 quiet, 10 still busy at the limit, -1 socket
// failure, 2 for socket <= 0.
int resync(int socket);


}  // namespace eth
}  // namespace tmk

#endif
