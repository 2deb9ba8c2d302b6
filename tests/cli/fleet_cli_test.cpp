// kbcfg fleet against a simulated site whose keyboards refuse, time out and fail upgrades: the
// lines, the table on a terminal, the summary, --json and the exit status.

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>

#include "platform/paths.h"
#include "support/cli_runner.h"
#include "support/platform_files.h"
#include "support/temp_dir.h"

namespace kbcfg::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using Json = nlohmann::json;

class FleetCliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::ofstream(dir / "site.json") << R"({"timeoutMs": 100, "keyboards": [
            {"address": "198.51.100.2", "password": "k"},
            {"address": "198.51.100.3", "password": "other"},
            {"address": "198.51.100.4", "reachable": false},
            {"address": "198.51.100.5", "password": "k", "refuseImport": true,
             "upgrade": {"ticks": 1, "finalState": 3}}]})";
        setEnv("VYXSIM_INSTALLATION", platform::utf8(dir / "site.json"));
        setEnv("KBCFG_PASSWORD", "k");
        std::ofstream(dir / "site.csv") << "name,ip,port\nlobby,198.51.100.2\nannex,198.51.100.3\n"
                                           "yard,198.51.100.4\ngate,198.51.100.5,8000\n";
    }
    void TearDown() override {
        unsetEnv("VYXSIM_INSTALLATION");
        unsetEnv("KBCFG_PASSWORD");
    }
    std::string path(const char* name) const { return (dir / name).string(); }
    std::vector<std::string> fleet(const char* task, std::vector<std::string> more) const {
        std::vector<std::string> args = {"fleet", task, "--inventory", path("site.csv")};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }

    TempDir dir;
};

std::vector<std::string> statesOf(const Json& doc) {
    std::vector<std::string> states;
    for (const Json& k : doc["keyboards"])
        states.push_back(k["name"].get<std::string>() + " " + k["state"].get<std::string>() + " " +
                         k["message"].get<std::string>());
    return states;
}

TEST_F(FleetCliTest, ExportGoesOnPastFailuresSumsUpAndFails) {
    const Result r = kbcfg(fleet("export", {"--output", path("out"), "--jobs", "2"}));
    EXPECT_EQ(r.status, 1) << r.err;
    // Not a terminal: one plain line as each keyboard starts and as it ends.
    EXPECT_THAT(r.out, HasSubstr("lobby  198.51.100.2:8000  running"));
    EXPECT_THAT(r.out, HasSubstr("annex  198.51.100.3:8000  failed         0%  Login keyboard "
                                 "failed! (wrong password)\n"));
    EXPECT_THAT(r.out, HasSubstr("yard   198.51.100.4:8000  failed         0%  Login keyboard "
                                 "failed! (no connection)\n"));
    EXPECT_THAT(r.out, HasSubstr("gate   198.51.100.5:8000  done         100%  Export config file "
                                 "successfully! " +
                                 platform::utf8(dir / "out" / "gate" / "20")));
    EXPECT_THAT(r.out, Not(HasSubstr("\x1b[")));
    EXPECT_THAT(r.out, HasSubstr("exported 2 of 4 keyboards into " + path("out") +
                                 "; 2 failed: annex, yard\n"));
    int files = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir / "out")) {
        if (!e.is_regular_file()) continue;
        ++files;
        // std::regex: GoogleTest's own on Windows knows no classes nor counts.
        const std::string name = e.path().filename().string();
        EXPECT_TRUE(std::regex_match(name, std::regex("[0-9]{8}-[0-9]{6}\\.bin"))) << name;
    }
    EXPECT_EQ(files, 2);
}

TEST_F(FleetCliTest, JsonGivesEveryKeyboardsEndAndTheCounts) {
    const Result r = kbcfg(fleet("export", {"--output", path("out"), "--json"}));
    EXPECT_EQ(r.status, 1) << r.err;
    const Json doc = Json::parse(r.out);
    EXPECT_EQ(doc["command"], "fleet export");
    EXPECT_EQ(doc["jobs"], 8);
    EXPECT_EQ(doc["done"], 2);
    EXPECT_EQ(doc["failed"], 2);
    EXPECT_EQ(doc["status"], 1);
    EXPECT_THAT(statesOf(doc), ElementsAre("lobby done Export config file successfully!",
                                           "annex failed Login keyboard failed! (wrong password)",
                                           "yard failed Login keyboard failed! (no connection)",
                                           "gate done Export config file successfully!"));
    const Json& annex = doc["keyboards"][1];
    EXPECT_EQ(annex["ip"], "198.51.100.3");
    EXPECT_EQ(annex["port"], 8000);
    EXPECT_TRUE(annex["file"].is_null());
    EXPECT_EQ(
        annex["messages"],
        Json::parse(R"([{"message": 208, "text": "Login keyboard failed!\nwrong password"}])"));
    EXPECT_TRUE(fs::exists(doc["keyboards"][0]["file"].get<std::string>()));
    EXPECT_GE(doc["keyboards"][2]["milliseconds"].get<int>(), 100);

    // Import sends the exported file; the keyboard that refuses imports fails alone.
    const std::string sent = doc["keyboards"][0]["file"];
    Json imported = Json::parse(kbcfg(fleet("import", {"--file", sent, "--json"})).out);
    EXPECT_THAT(statesOf(imported),
                ElementsAre("lobby done Import config file successfully!",
                            "annex failed Login keyboard failed! (wrong password)",
                            "yard failed Login keyboard failed! (no connection)",
                            "gate failed Import config file failed!"));
    EXPECT_EQ(imported["summary"],
              "sent " + sent + " to 1 of 4 keyboards; 3 failed: annex, yard, gate");

    std::ofstream(dir / "fw.dav") << "firmware";
    Json upgraded = Json::parse(kbcfg(fleet("upgrade", {"--file", path("fw.dav"), "--json"})).out);
    EXPECT_THAT(statesOf(upgraded),
                ElementsAre("lobby done Update Keyboard successfully!",
                            "annex failed Login keyboard failed! (wrong password)",
                            "yard failed Login keyboard failed! (no connection)",
                            "gate failed Update failed!"));
    EXPECT_EQ(upgraded["keyboards"][0]["progress"], 100);
    EXPECT_EQ(upgraded["panel"], false);
}

TEST_F(FleetCliTest, PasswordsNeverComeFromTheCommandLine) {
    EXPECT_EQ(kbcfg(fleet("export", {"--output", path("out"), "-p", "k"})).status, 2);
    EXPECT_EQ(kbcfg({"-p", "k", "fleet", "export", "--inventory", path("site.csv"), "--output",
                     path("out")})
                  .status,
              2);
    EXPECT_EQ(kbcfg(fleet("export", {"--output", path("out"), "--jobs", "0"})).status, 2);

    // A password file others could read is refused before any keyboard is contacted.
    ASSERT_TRUE(writePrivate(dir / "pw", "annex:other\n"));
    Result r;
#ifndef _WIN32
    chmod((dir / "pw").c_str(), 0644);
    r = kbcfg(fleet("export", {"--output", path("out"), "--password-file", path("pw")}));
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("chmod 600"));
    EXPECT_FALSE(fs::exists(dir / "out"));
    chmod((dir / "pw").c_str(), 0600);
#endif

    // Its owner's alone: its line for annex wins over the environment's password for the others.
    r = kbcfg(fleet("export", {"--output", path("out"), "--password-file", path("pw"), "--json"}));
    EXPECT_EQ(Json::parse(r.out)["done"], 3) << r.out;

    std::ofstream(dir / "bad.csv") << "lobby,198.51.100.2\nlobby,198.51.100.3\n";
    r = kbcfg({"fleet", "import", "--inventory", path("bad.csv"), "--file", path("site.csv")});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("line 2: the name lobby is listed twice"));
    r = kbcfg(fleet("import", {"--file", path("absent.bin")}));
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("absent.bin: not a file that can be sent"));
}

TEST_F(FleetCliTest, EveryFileExportedCanBeSentOthersAreRefusedBeforeAnyKeyboard) {
    std::ofstream(dir / "long.csv") << std::string(40, 'k') << ",198.51.100.2\n";
    const Json doc = Json::parse(kbcfg({"fleet", "export", "--inventory", path("long.csv"),
                                        "--output", path("out"), "--json"})
                                     .out);
    // A path of 120 characters, whatever the temporary folder's length: within the path limit,
    // with a file name too long and no room for the files of a fleet's folder.
    const std::string file = doc["keyboards"][0]["file"],
                      tooLong =
                          path(std::string(119 - platform::utf8(dir.path()).size(), 'o').c_str());
    EXPECT_EQ(kbcfg({"keyboard", "import", "--ip", "198.51.100.2", "--file", file}).status, 0);
    fs::copy_file(file, tooLong);  // a file name too long, a folder for paths too long
    const std::pair<std::string, const char*> cases[] = {
        {"export", "choose a shorter folder"},
        {"import", "Filename'length should be less than 32!"}};
    for (const auto& [task, why] : cases) {
        const Result r =
            kbcfg(fleet(task.c_str(), {task == "export" ? "--output" : "--file", tooLong}));
        EXPECT_EQ(r.status, 1);
        EXPECT_THAT(r.err, HasSubstr(why));
        EXPECT_EQ(r.out, "");  // no keyboard contacted
    }
}

#ifndef _WIN32
// Runs kbcfg with its stdout on a pseudo-terminal of 24 x 100 and returns what it wrote there.
std::string onTerminal(const std::vector<std::string>& args) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return "no pty";
    winsize size{};
    size.ws_row = 24;
    size.ws_col = 100;
    ioctl(master, TIOCSWINSZ, &size);
    std::vector<std::string> argv = {KBCFG_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    const Child child = spawnProgram(argv, ptsname(master));
    std::string out;
    if (!child.started()) return "spawn failed";
    // Read while it runs, or it would block on a full terminal.
    for (bool exited = false;;) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 50) > 0) {
            char buf[4096];
            const ssize_t n = read(master, buf, sizeof buf);
            if (n > 0) {
                out.append(buf, static_cast<std::size_t>(n));
                continue;
            }
        }
        if (exited) break;
        int status = 0;
        exited = waitpid(child.pid, &status, WNOHANG) == child.pid;
    }
    close(master);
    return out;
}
#endif

TEST_F(FleetCliTest, OnATerminalTheTableIsRedrawnInPlace) {
#ifdef _WIN32
    GTEST_SKIP() << "a pseudo-terminal: a Windows console is no file a test can read";
#else
    const std::string out = onTerminal(fleet("export", {"--output", path("out"), "--jobs", "1"}));
    // Header and four lines, drawn again from the header up: five lines back.
    EXPECT_THAT(out, HasSubstr("NAME   ADDRESS            STATE    PROGRESS  MESSAGE"));
    EXPECT_THAT(out, HasSubstr("\x1b[5A"));
    EXPECT_THAT(out, HasSubstr("\x1b[2Kyard   198.51.100.4:8000  failed         0%  Login keyboard "
                               "failed! (no connection)"));
    EXPECT_THAT(out, HasSubstr("exported 2 of 4 keyboards"));
    // No line is longer than the terminal is wide.
    std::size_t longest = 0, from = 0;
    for (std::size_t end; (end = out.find('\n', from)) != std::string::npos; from = end + 1) {
        std::string line = out.substr(from, end - from);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t mark = line.rfind("\x1b[2K");
        longest = std::max(longest, line.size() - (mark == std::string::npos ? 0 : mark + 4));
    }
    EXPECT_LT(longest, 100u);
#endif
}

}  // namespace
}  // namespace kbcfg::testing
