// kbcfg channel report when a device stops answering: named once, and the command fails.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "support/cli_runner.h"

namespace kbcfg::testing {

TEST(ReportCliTest, ADeviceThatDoesNotAnswerIsNamedOnceAndFailsTheCommand) {
    TempDir dir;
    const std::string file = (dir / "kb.bin").string(), site = (dir / "site.json").string();
    auto run = [&](std::vector<std::string> args) {
        args.insert(args.end(), {"-f", file, "-u", "admin", "-p", "", "--no-backup"});
        return kbcfg(args).out;
    };
    const std::string on = R"({"timeoutMs": 20, "keyboards": [{"address": "198.51.100.2"}],
        "devices": [{"address": "198.51.100.20", "type": 75, "analogChannels": 16}]})";
    std::ofstream(site) << on;
    setEnv("VYXSIM_INSTALLATION", site);
    kbcfg({"keyboard", "export", "--ip", "198.51.100.2", "--output", file});
    run({"user", "add", "--name", "op", "--password", "pw"});
    run({"user", "assign", "--record", "1", "--slot", "0"});
    std::ofstream(site) << on.substr(0, on.size() - 3) << R"(, "reachable": false}]})";
    const auto j = nlohmann::json::parse(run({"channel", "report", "--user", "op", "--json"}));
    unsetEnv("VYXSIM_INSTALLATION");
    EXPECT_EQ(j["status"], 1);
    EXPECT_EQ(j["summary"], "report saved to " + (dir / "op.txt").string() +
                                "; 16 channels left out (login failed on 1 device)");
    ASSERT_EQ(j["messages"].size(), 2u);  // one for the device, then the report's
    EXPECT_EQ(j["messages"][0]["text"],
              "Error Connect:\n198.51.100.20:8000 (slot 0): 16 channels left out");
    EXPECT_EQ(j["failedDevices"], nlohmann::json::parse(R"([{"slot": 0, "ip": "198.51.100.20",
        "port": 8000, "channelsLeftOut": 16}])"));
}

}  // namespace kbcfg::testing
