// The command tree (unknown commands, help), and what the keyboard commands print.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "platform/paths.h"
#include "support/cli_runner.h"

namespace kbcfg::testing {
namespace {

using Args = std::vector<std::string>;

// Usage errors name what was meant; help is the command's help.
TEST(CommandsCli, UsageErrorsSayWhatWasMeant) {
    for (const auto& [args, err] : std::vector<std::pair<Args, std::string>>{
             {{"device", "lst"},
              "'lst' is not a command of 'kbcfg device'. The most similar command is: list\n"},
             {{"-f", "kb.bin", "chek"}, "of 'kbcfg'. The most similar command is: check\n"},
             {{"help", "keyboard", "exprot"}, "'kbcfg keyboard'. The most similar command is: "},
             // The dialog writes the password with the port: leaving it out would blank it.
             {{"device", "modify", "--slot", "1", "--port", "9000"}, "--password '' clears it"}}) {
        const Result r = kbcfg(args);
        EXPECT_EQ(r.status, 2) << args[0];
        EXPECT_THAT(r.err, ::testing::HasSubstr(err));
    }
    const Result help = kbcfg({"help", "device", "modify"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out, kbcfg({"device", "modify", "--help"}).out);
}

// Progress lines first, then the panel's end text once (on stdout), then the closing message;
// a refused login says why on its second line.
TEST(CommandsCli, KeyboardCommandsPrintWhatTheDialogsShowInTheirOrder) {
    TempDir dir;
    std::ofstream(dir / "site.json")
        << R"({"keyboards": [{"address": "198.51.100.5", "password": "k",
        "upgrade": {"ticks": 1, "finalState": 3}}, {"address": "198.51.100.6", "password": "k",
        "upgrade": {"ticks": 2, "panelSteps": [10]}}]})";
    const std::string fw = (dir / "fw.dav").string(), panel = (dir / "panel.hex").string();
    std::ofstream(fw) << "firmware";
    std::ofstream(panel) << ":" << std::string(2000, '0');
    setEnv("VYXSIM_INSTALLATION", platform::utf8(dir / "site.json"));
    setEnv("KBCFG_PASSWORD", "k");
    for (const auto& [args, err] : std::vector<std::pair<Args, std::string>>{
             {{"export", "--ip", "198.51.100.5", "-p", "x", "--output", fw + ".bin"},
              "Login keyboard failed!\nwrong password\n"},
             {{"import", "--ip", "198.51.100.9", "--file", fw},
              "Login keyboard failed!\nno connection\n"},
             {{"upgrade", "--ip", "198.51.100.5", "--file", fw}, "100%\nUpdate failed!\n"},
             {{"upgrade", "--ip", "198.51.100.6", "--file", panel, "--panel"},
              "Start erase bootloader...\n"}}) {
        Args line = {"keyboard"};
        line.insert(line.end(), args.begin(), args.end());
        EXPECT_EQ(kbcfg(line).err, err) << args[0];
    }
    unsetEnv("VYXSIM_INSTALLATION");
    unsetEnv("KBCFG_PASSWORD");
}

}  // namespace
}  // namespace kbcfg::testing
