// Command line of positioner-sim: what it accepts, what it builds, and
// when it refuses to bind.
#include <gtest/gtest.h>

#include "sim_cli.h"

namespace {

sim::CliConfig parse(const std::vector<std::string>& args, bool expectOk = true) {
    sim::CliConfig config;
    std::string error;
    EXPECT_EQ(sim::parseCommandLine(args, config, error), expectOk) << error;
    return config;
}

std::string parseError(const std::vector<std::string>& args) {
    sim::CliConfig config;
    std::string error;
    EXPECT_FALSE(sim::parseCommandLine(args, config, error));
    return error;
}

TEST(SimCli, DefaultsAndCountGiveConsecutiveAddressesAndIds) {
    sim::CliConfig one = parse({});
    ASSERT_EQ(one.controllers.size(), 1u);
    EXPECT_EQ(one.controllers[0].address, "127.0.0.2");
    EXPECT_EQ(one.controllers[0].hardwareId, 1000);
    EXPECT_EQ(one.controllers[0].tellIntervalMs, 50) << "reports by itself, like a controller";
    EXPECT_EQ(parse({"--no-reports"}).controllers[0].tellIntervalMs, 0);

    sim::CliConfig three = parse({"--count", "3", "--id", "7", "--id", "20", "--tell-interval", "50", "--type",
                                  "0x5001", "--no-addp", "--quiet"});
    ASSERT_EQ(three.controllers.size(), 3u);
    EXPECT_EQ(three.controllers[2].address, "127.0.0.4");
    EXPECT_EQ(three.controllers[0].hardwareId, 7);
    EXPECT_EQ(three.controllers[1].hardwareId, 20);
    EXPECT_EQ(three.controllers[2].hardwareId, 21);
    EXPECT_EQ(three.controllers[1].tellIntervalMs, 50);
    EXPECT_EQ(three.controllers[1].controllerType, 0x5001);
    EXPECT_FALSE(three.controllers[2].answerAddp);
    EXPECT_TRUE(three.controllers[2].answerVelorix);
    EXPECT_TRUE(three.quiet);
}

TEST(SimCli, AddressesAndFaults) {
    sim::CliConfig c =
        parse({"--address", "127.0.0.9", "--address", "127.1.2.3", "--fault", "late=300", "--fault", "silent"});
    ASSERT_EQ(c.controllers.size(), 2u);
    EXPECT_EQ(c.controllers[1].address, "127.1.2.3");
    EXPECT_EQ(c.controllers[1].hardwareId, 1001);
    ASSERT_EQ(c.faults.size(), 2u);
    EXPECT_EQ(c.faults[0].first, sim::Controller::Fault::Late);
    EXPECT_EQ(c.faults[0].second, 300);
    EXPECT_EQ(c.faults[1].first, sim::Controller::Fault::Silent);
    EXPECT_TRUE(parse({"--help"}).help);
    EXPECT_NE(sim::usageText().find("--allow-nonlocal"), std::string::npos);
    EXPECT_NE(sim::usageText().find("tell-flood"), std::string::npos);
}

TEST(SimCli, MalformedArgumentsAreRejected) {
    EXPECT_NE(parseError({"--count", "0"}).find("--count"), std::string::npos);
    parseError({"--count", "254"});
    parseError({"--count", "2x"});
    parseError({"--count"});
    parseError({"--tell-interval", "-1"});
    parseError({"--id", "99999999999"});
    parseError({"--address", "127.0.0.300"});
    parseError({"--address", "127.0.0.2", "--address", "127.0.0.2"});
    parseError({"--address", "127.0.0.2", "--count", "2"});
    parseError({"--multicast-interface", "lo"});
    EXPECT_NE(parseError({"--fault", "sideways"}).find("sideways"), std::string::npos);
    parseError({"--fault", "late=soon"});
    parseError({"--frobnicate"});
}

TEST(SimCli, RefusesNonLoopbackAddressesOutsideAPrivateNamespace) {
    sim::CliConfig local = parse({"--count", "2"});
    EXPECT_EQ(sim::localityProblem(local, false), "");

    sim::CliConfig remote = parse({"--address", "192.168.1.20"});
    EXPECT_NE(sim::localityProblem(remote, false).find("192.168.1.20"), std::string::npos);
    EXPECT_EQ(sim::localityProblem(remote, true), "") << "all interfaces loopback";

    sim::CliConfig remoteGroup = parse({"--multicast-interface", "10.0.0.1"});
    EXPECT_NE(sim::localityProblem(remoteGroup, false).find("10.0.0.1"), std::string::npos);

    sim::CliConfig allowed = parse({"--address", "192.168.1.20", "--allow-nonlocal"});
    EXPECT_EQ(sim::localityProblem(allowed, false), "");
}

}  // namespace
