#include "sim_cli.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <set>

#include "faults.h"
#include "socket_util.h"

namespace sim {

namespace {
constexpr int kMaxCount = 253;  // 127.0.0.2 .. 127.0.0.254
// Like a controller, the program reports positions and status by itself
// (the simulator library's default is a silent line, for tests).
constexpr int kDefaultTellIntervalMs = 50;

bool parseInt(const std::string& text, long min, long max, long* value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || v < min || v > max) return false;
    *value = v;
    return true;
}

bool parseFault(const std::string& faultText, std::pair<Controller::Fault, int>& out, std::string& error) {
    size_t eq = faultText.find('=');
    const FaultInfo* info = faultByName(faultText.substr(0, eq));
    if (!info) {
        error = "unknown fault '" + faultText.substr(0, eq) + "'";
        return false;
    }
    long parameter = 0;
    if (eq != std::string::npos && !parseInt(faultText.substr(eq + 1), INT_MIN, INT_MAX, &parameter)) {
        error = "bad fault parameter in '" + faultText + "'";
        return false;
    }
    out = {info->fault, static_cast<int>(parameter)};
    return true;
}

// Settings given once that every controller shares.
struct Shared {
    std::vector<std::string> addresses;
    long count = 0;
    std::vector<int32_t> ids;
    Options base;
};

std::string addressAt(int offset) { return "127.0.0." + std::to_string(2 + offset); }

bool buildControllers(const Shared& s, CliConfig& config, std::string& error) {
    if (!s.addresses.empty() && s.count > 0) {
        error = "--address and --count exclude each other";
        return false;
    }
    std::vector<std::string> addresses = s.addresses;
    if (addresses.empty()) {
        for (long i = 0; i < (s.count > 0 ? s.count : 1); ++i)
            addresses.push_back(addressAt(static_cast<int>(i)));
    }
    std::set<std::string> seen;
    int32_t nextId = s.base.hardwareId;
    for (size_t i = 0; i < addresses.size(); ++i) {
        in_addr parsed{};
        if (!parseIpv4(addresses[i], &parsed)) {
            error = "not an IPv4 address: " + addresses[i];
            return false;
        }
        if (!seen.insert(addresses[i]).second) {
            error = "address given twice: " + addresses[i];
            return false;
        }
        Options o = s.base;
        o.address = addresses[i];
        o.hardwareId = i < s.ids.size() ? s.ids[i] : nextId;
        nextId = o.hardwareId + 1;
        config.controllers.push_back(o);
    }
    in_addr interface {};
    if (!parseIpv4(s.base.multicastInterface, &interface)) {
        error = "not an IPv4 address: " + s.base.multicastInterface;
        return false;
    }
    return true;
}
}  // namespace

bool parseCommandLine(const std::vector<std::string>& args, CliConfig& config, std::string& error) {
    Shared s;
    s.base.tellIntervalMs = kDefaultTellIntervalMs;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        auto number = [&](long min, long max, long* out) {
            std::string text;
            if (!value(text)) return false;
            if (parseInt(text, min, max, out)) return true;
            error = "bad value for " + a + ": " + text;
            return false;
        };
        std::string text;
        long n = 0;
        if (a == "--help" || a == "-h") {
            config.help = true;
        } else if (a == "--quiet") {
            config.quiet = true;
        } else if (a == "--log-requests") {
            s.base.logRequests = true;
        } else if (a == "--log-reports") {
            s.base.logReports = true;
        } else if (a == "--allow-nonlocal") {
            config.allowNonlocal = true;
        } else if (a == "--no-addp") {
            s.base.answerAddp = false;
        } else if (a == "--no-velorix") {
            s.base.answerVelorix = false;
        } else if (a == "--address") {
            if (!value(text)) return false;
            s.addresses.push_back(text);
        } else if (a == "--count") {
            if (!number(1, kMaxCount, &s.count)) return false;
        } else if (a == "--id") {
            if (!number(INT_MIN, INT_MAX, &n)) return false;
            s.ids.push_back(static_cast<int32_t>(n));
        } else if (a == "--type") {
            if (!number(INT_MIN, INT_MAX, &n)) return false;
            s.base.controllerType = static_cast<int32_t>(n);
        } else if (a == "--no-reports") {
            s.base.tellIntervalMs = 0;
        } else if (a == "--tell-interval") {
            if (!number(0, 60000, &n)) return false;
            s.base.tellIntervalMs = static_cast<int>(n);
        } else if (a == "--speed") {
            if (!number(1, INT_MAX, &n)) return false;
            s.base.speed = static_cast<int32_t>(n);
        } else if (a == "--travel-limit") {
            if (!number(1, INT_MAX, &n)) return false;
            s.base.travelLimit = static_cast<int32_t>(n);
        } else if (a == "--multicast-interface") {
            if (!value(s.base.multicastInterface)) return false;
        } else if (a == "--fault") {
            std::pair<Controller::Fault, int> fault;
            if (!value(text) || !parseFault(text, fault, error)) return false;
            config.faults.push_back(fault);
        } else {
            error = "unknown argument '" + a + "'";
            return false;
        }
    }
    if (!s.ids.empty()) s.base.hardwareId = s.ids.front();
    return config.help || buildControllers(s, config, error);
}

std::string usageText() {
    std::string text =
        "Usage: positioner-sim [options]\n"
        "Simulates positioner controllers on the local network: TCP port 2101 and\n"
        "the ADDP (224.0.5.128:2362) and Velorix (239.255.170.171:7071) probes.\n"
        "Runs until SIGINT or SIGTERM; prints one line per controller started.\n"
        "SIGUSR1 makes every controller close its open connections; SIGUSR2\n"
        "switches the silent fault on and off.\n"
        "\n"
        "  --address A              one controller on IPv4 address A (repeatable)\n"
        "  --count N                N controllers on 127.0.0.2, 127.0.0.3, ... (1..253;\n"
        "                           default: one on 127.0.0.2)\n"
        "  --id N                   hardware id (register 360) of the next controller\n"
        "                           (repeatable); later ones count on (default 1000)\n"
        "  --type N                 controller type, register 359 (default 0x5000)\n"
        "  --tell-interval MS       report position, status, reference position and\n"
        "                           speed (TELL 1045/1028/1031/1346) of every axis each\n"
        "                           MS ms, 0..60000 (default 50; 0 = off)\n"
        "  --no-reports             no reports by itself (--tell-interval 0): the\n"
        "                           controller sends only replies\n"
        "  --speed N                axis speed in position units per second (1000000)\n"
        "  --travel-limit N         axes stop at +-N (50000000)\n"
        "  --multicast-interface A  local address on which to join the probe groups\n"
        "                           (default 127.0.0.1)\n"
        "  --no-addp, --no-velorix  do not answer that probe\n"
        "  --fault NAME[=PARAM]     set a fault on every controller at start\n"
        "                           (repeatable; PARAM 0 or missing = default):\n";
    for (const FaultInfo* f = faultTableBegin(); f != faultTableEnd(); ++f) {
        std::string name = std::string("    ") + f->name;
        name.resize(27, ' ');
        text += name + f->help + (f->isSwitch ? "" : " [one-shot]") + "\n";
    }
    text +=
        "  --log-requests           log every telegram received, with its CLOCK_MONOTONIC\n"
        "                           time: \"A: request SET 1107[0] := 1 at 12.345678\"\n"
        "  --log-reports            log every periodic report right before it is sent:\n"
        "                           \"A: report TELL 1045[0] := 500 at 12.345678\"\n"
        "  --quiet                  print only the started lines\n"
        "  --allow-nonlocal         also bind addresses outside 127.0.0.0/8\n"
        "  --help                   this text\n"
        "\n"
        "Without --allow-nonlocal the program refuses to start unless every address\n"
        "and the multicast interface lie in 127.0.0.0/8, or every network interface\n"
        "of the process is a loopback one (a private network namespace).\n";
    return text;
}

std::string localityProblem(const CliConfig& config, bool allLoopback) {
    if (config.allowNonlocal || allLoopback) return "";
    std::vector<std::string> addresses;
    for (const Options& o : config.controllers) {
        addresses.push_back(o.address);
        addresses.push_back(o.multicastInterface);
    }
    for (const std::string& a : addresses) {
        in_addr parsed{};
        if (!parseIpv4(a, &parsed) || !isLoopback(parsed))
            return a + " is not a loopback address (use --allow-nonlocal to bind it anyway)";
    }
    return "";
}

bool interfacesAllLoopback() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return false;
    bool all = true;
    for (ifaddrs* it = list; it; it = it->ifa_next)
        if (!(it->ifa_flags & IFF_LOOPBACK)) all = false;
    freeifaddrs(list);
    return all;
}

}  // namespace sim
