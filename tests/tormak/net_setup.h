// Network set-up shared by the tormak tests that open sockets.
#ifndef TESTS_TORMAK_NET_SETUP_H
#define TESTS_TORMAK_NET_SETUP_H

namespace bench {

// The ADDP search sends from the default route; inside the test's private
// namespace (and only there) the multicast groups are routed over lo.
// True when the route is in place.
bool routeMulticastOverLoopback();

}  // namespace bench

#endif
