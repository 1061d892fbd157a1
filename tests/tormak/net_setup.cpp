#include "net_setup.h"

#include <cstdlib>

#include "test_support.h"

namespace bench {

bool routeMulticastOverLoopback() {
    if (!test_support::inPrivateNetworkNamespace()) return false;
    return std::system("ip route replace 224.0.0.0/4 dev lo") == 0;
}

}  // namespace bench
