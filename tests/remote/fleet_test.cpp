// Keyboard fleets: the inventory and password file, and runs against the simulated installation
// with keyboards that refuse, time out and fail their upgrades.

#include "remote/fleet.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <gmock/gmock.h>

#include <chrono>
#include <set>
#include <stdexcept>

#include "platform/access.h"
#include "remote/dynamic_netsdk.h"
#include "sim_fixture.h"
#include "store/config_image.h"
#include "support/platform_files.h"

namespace kbcfg::remote {
namespace {

using std::filesystem::perms;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::vector<std::string> namesOf(const std::vector<FleetKeyboard>& list) {
    std::vector<std::string> names;
    for (const auto& k : list)
        names.push_back(k.name + "@" + k.address.toString() + ":" + k.port + "#" +
                        std::to_string(k.line));
    return names;
}

TEST(FleetInventory, CsvAndJsonListTheSameKeyboards) {
    const char* forms[] = {
        "\xEF\xBB\xBFname,ip,port\r\n# the lobby\r\nlobby,198.51.100.2,8000\r\n\r\n"
        "\"annex-2\", 198.51.100.3 ,8100\nyard_1.b,198.51.100.4\n",
        R"([{"name": "lobby", "ip": "198.51.100.2", "port": 8000},
            {"name": "annex-2", "ip": "198.51.100.3", "port": "8100"},
            {"name": "yard_1.b", "ip": "198.51.100.4"}])",
        R"({"keyboards": [{"name": "lobby", "ip": "198.51.100.2", "port": 8000},
            {"name": "annex-2", "ip": "198.51.100.3", "port": 8100},
            {"name": "yard_1.b", "ip": "198.51.100.4"}]})",
    };
    for (const char* text : forms) {
        SCOPED_TRACE(text);
        std::string error;
        const auto list = parseInventory(text, error);
        ASSERT_TRUE(list) << error;
        const bool csv = text[0] != '[' && text[0] != '{';
        EXPECT_THAT(namesOf(*list),
                    ElementsAre("lobby@198.51.100.2:8000#" + std::string(csv ? "3" : "1"),
                                "annex-2@198.51.100.3:8100#" + std::string(csv ? "5" : "2"),
                                "yard_1.b@198.51.100.4:8000#" + std::string(csv ? "6" : "3")));
    }
}

TEST(FleetInventory, RefusesWhatWouldMisdirectAKeyboardNamingWhere) {
    const std::pair<std::string, const char*> cases[] = {
        {"kb1,198.51.100.2,8000\n../etc,198.51.100.3", "line 2: \"../etc\" is not a keyboard name"},
        {".hidden,198.51.100.3", "is not a keyboard name"},
        {"a/b,198.51.100.3", "is not a keyboard name"},
        {std::string(65, 'k') + ",198.51.100.3", "is not a keyboard name"},
        {"kb1,198.51.100", "line 1: \"198.51.100\" is not a keyboard address"},
        {"kb1,198.51..2", "is not a keyboard address"},
        {"kb1,0.51.100.2", "is not a keyboard address"},
        {"kb1,224.0.0.1", "is not a keyboard address"},
        {"kb1,198.51.100.2,8000,extra", "line 1: expected name,ip,port"},
        {"kb1", "expected name,ip,port"},
        {"kb1,198.51.100.2\nkb1,198.51.100.3", "line 2: the name kb1 is listed twice"},
        {"kb1,198.51.100.2\nkb2,198.51.100.2,8000", "line 2: 198.51.100.2 port 8000 is listed"},
        {R"([{"name": "kb1", "ip": "198.51.100.2", "password": "x"}])",
         "keyboard 1: passwords do not belong in an inventory"},
        {R"([{"name": "kb1", "ip": "198.51.100.2", "prot": 8000}])", "unknown key \"prot\""},
        {R"([{"name": "kb1", "ip": "198.51.100.2", "port": 8.5}])", "port a number"},
        {R"({"keyboards": [], "extra": 1})", "$: expected an array of keyboards"},
        {R"({"keyboards": 5})", "$.keyboards: must be an array"},
        {R"([1])", "keyboard 1: must be an object"},
        {"[{", "line 1, column 3: unexpected end of input"},
        {R"([{"name": "kb1", "ip": "198.51.100.2", "port": 2e400}])", "$: a number out of range"},
        // Never the text near an error, nor a control character, as they are.
        {"[{\"name\": \"kb1\",\n\"ip\": \"hunter2\x01\"}]", "line 2, column 15: "},
        {"kb\x1b[2J,198.51.100.2", "\"kb\\x1b[2J\" is not a keyboard name"},
        {"kb1,198.51.100.2\x07\x9b", "\"198.51.100.2\\x07\\x9b\" is not"},
        {R"([{"name": "kb1", "\u001b]0;x": 1}])", "unknown key \"\\x1b]0;x\""},
    };
    for (const auto& [text, why] : cases) {
        SCOPED_TRACE(text);
        std::string error;
        EXPECT_FALSE(parseInventory(text, error));
        EXPECT_THAT(error, HasSubstr(why));
        EXPECT_EQ(error.find("hunter2"), std::string::npos);
        EXPECT_EQ(error.find_first_of("\x01\x07\x1b"), std::string::npos);
    }
    // A port the dialog will judge is taken as typed.
    std::string error;
    const auto list = parseInventory("kb1,198.51.100.2,1999", error);
    ASSERT_TRUE(list);
    EXPECT_EQ((*list)[0].port, "1999");
    EXPECT_TRUE(parseInventory("", error)->empty());
}

class FleetPasswords : public ::testing::Test {
  protected:
    // A file of that mode; on Windows one of the owner alone by its ACL, or as files are made.
    std::filesystem::path file(const std::string& text, unsigned mode) {
        const auto p = dir / ("pw" + std::to_string(++n_));
#ifdef _WIN32
        if ((mode & 077) == 0 && kbcfg::testing::writePrivate(p, text)) return p;
#endif
        std::ofstream(p) << text;
        std::filesystem::permissions(p, static_cast<std::filesystem::perms>(mode));
        return p;
    }
    kbcfg::testing::TempDir dir;

  private:
    int n_ = 0;
};

TEST_F(FleetPasswords, OnlyAFileOfTheOwnerAloneIsRead) {
    std::string error;
#ifndef _WIN32  // Unix modes and FIFOs; a password file of the CLI is checked by its ACL there
    for (mode_t mode : {0644, 0640, 0604, 0660, 0602}) {
        SCOPED_TRACE(mode);
        EXPECT_FALSE(readPasswordFile(file("*:x\n", mode), error));
        EXPECT_THAT(error, HasSubstr("chmod 600"));
    }
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_FALSE(readPasswordFile(dir / "fifo", error));
    EXPECT_THAT(error, HasSubstr("not a regular file"));
#endif
    EXPECT_FALSE(readPasswordFile(dir / "absent", error));

    const auto read =
        readPasswordFile(file("# site\r\nkb1:a b:c\r\n*:star\n\nkb2:\n", 0400), error);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(*read,
              (std::map<std::string, std::string>{{"kb1", "a b:c"}, {"*", "star"}, {"kb2", ""}}));
    // A malformed line is named, never shown: it may hold a password.
    EXPECT_FALSE(readPasswordFile(file("kb1:x\nsecret-without-name\n", 0600), error));
    EXPECT_EQ(error, "line 2: expected NAME:PASSWORD");
    EXPECT_FALSE(readPasswordFile(file("kb1:x\nkb1:y\n", 0600), error));
    EXPECT_THAT(error, HasSubstr("kb1 is given twice"));
}

TEST_F(FleetPasswords, TheFileComesBeforeItsDefaultBeforeTheEnvironment) {
    std::string error;
    auto list = *parseInventory("kb1,198.51.100.2\nkb2,198.51.100.3\nkb3,198.51.100.4", error);
    const std::map<std::string, std::string> named{{"kb1", "one"}};
    auto withStar = named;
    withStar["*"] = "star";
    struct Case {
        const std::map<std::string, std::string>* file;
        std::optional<std::string> env;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {&named, "env", {"one", "env", "env"}},
        {&withStar, "env", {"one", "star", "star"}},
        {&named, std::nullopt, {"one", "", ""}},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(assignPasswords(list, *c.file, c.env, error)) << error;
        std::vector<std::string> got;
        for (const auto& k : list) got.push_back(k.password);
        EXPECT_EQ(got, c.expected);
    }
    EXPECT_FALSE(assignPasswords(list, {{"kb9", "x"}}, std::nullopt, error));
    EXPECT_THAT(error, HasSubstr("names kb9, which the inventory does not list"));
}

FleetJob makeJob(FleetTask task, std::filesystem::path folder = {}, std::string stamp = {}) {
    FleetJob job;
    job.task = task;
    job.folder = std::move(folder);
    job.stamp = std::move(stamp);
    return job;
}

// A site of keyboards in every state a run can meet.
class FleetRunTest : public SimTest {
  protected:
    void SetUp() override {
        useInstallation(R"({"latencyMs": 5, "timeoutMs": 100, "keyboards": [
            {"address": "198.51.100.2", "password": "k", "upgrade": {"ticks": 2}},
            {"address": "198.51.100.3", "password": "other"},
            {"address": "198.51.100.4", "reachable": false},
            {"address": "198.51.100.5", "password": "k", "refuseImport": true,
             "upgrade": {"ticks": 1, "finalState": 3}},
            {"address": "198.51.100.6", "password": "k", "upgrade": {"refuse": true}}]})");
        std::string error;
        keyboards = *parseInventory(
            "ok,198.51.100.2\nrefuses,198.51.100.3\noff,198.51.100.4\n"
            "stubborn,198.51.100.5\nold,198.51.100.6\nnobody,198.51.100.99\nbadport,198.51.100.2,1",
            error);
        ASSERT_TRUE(assignPasswords(keyboards, {}, "k", error));
    }
    std::vector<FleetStatus> run(FleetJob job) {
        return runFleet(
            keyboards, job, [] { return std::make_unique<DynamicNetSdk>(); },
            [&](std::size_t i, const FleetStatus& s) {
                // One at a time, as promised: a data race here fails under TSan.
                seen[i].push_back(stateName(s.state));
            });
    }
    static std::vector<std::string> summary(const std::vector<FleetStatus>& statuses) {
        std::vector<std::string> lines;
        for (const auto& s : statuses)
            lines.push_back(std::string(stateName(s.state)) + " " + std::to_string(s.progress) +
                            " " + s.message);
        return lines;
    }

    std::vector<FleetKeyboard> keyboards;
    std::map<std::size_t, std::vector<std::string>> seen;
};

TEST_F(FleetRunTest, ExportWritesEachKeyboardsFileAndOneFailureStopsNoOther) {
    FleetJob job = makeJob(FleetTask::Export, dir / "out", "20261210-040000");
    job.jobs = 3;
    const auto statuses = run(job);
    EXPECT_THAT(summary(statuses), ElementsAre("done 100 Export config file successfully!",
                                               "failed 0 Login keyboard failed! (wrong password)",
                                               "failed 0 Login keyboard failed! (no connection)",
                                               "done 100 Export config file successfully!",
                                               "done 100 Export config file successfully!",
                                               "failed 0 Login keyboard failed! (no connection)",
                                               "failed 0 Legal port ranges from 2000 to 65535!"));
    const auto file = dir / "out" / "ok" / "20261210-040000.bin";
    EXPECT_EQ(statuses[0].output, file);
    EXPECT_EQ(std::filesystem::file_size(file), store::layout::kImageSize);
    EXPECT_TRUE(std::filesystem::is_empty(dir / "out" / "refuses"));
    EXPECT_TRUE(statuses[1].output.empty());
    EXPECT_THAT(statuses[1].messages, ElementsAre(std::pair<int, std::string>{
                                          208, "Login keyboard failed!\nwrong password"}));
    EXPECT_GE(statuses[2].milliseconds, 100);  // the switched-off keyboard's timeout
    for (std::size_t i = 0; i < keyboards.size(); ++i) {
        ASSERT_GE(seen[i].size(), 2u);
        EXPECT_EQ(seen[i].front(), "running");
        EXPECT_EQ(seen[i].back(), stateName(statuses[i].state));
    }
    // Nothing but the exported files, each its user's alone as its folders are: no temporary
    // file left beside them, no name claimed by a keyboard that failed.
    std::set<std::string> files;
    EXPECT_FALSE(platform::othersMayAccess(dir / "out"));
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir / "out")) {
#ifndef _WIN32
        EXPECT_EQ(e.status().permissions(), perms(e.is_directory() ? 0700 : 0600));
#endif
        EXPECT_FALSE(platform::othersMayAccess(e.path())) << e.path();
        if (e.is_regular_file())
            files.insert(e.path().lexically_relative(dir / "out").generic_string());
    }
    EXPECT_EQ(files,
              (std::set<std::string>{"ok/20261210-040000.bin", "stubborn/20261210-040000.bin",
                                     "old/20261210-040000.bin"}));
}

TEST_F(FleetRunTest, ImportAndUpgradeReportEachKeyboardsOwnEnd) {
    const auto all = keyboards;
    keyboards.resize(1);
    ASSERT_EQ(run(makeJob(FleetTask::Export, dir / "out", "s"))[0].state, FleetState::Done);
    keyboards = all;

    FleetJob import = makeJob(FleetTask::Import);
    import.file = dir / "out" / "ok" / "s.bin";
    EXPECT_THAT(summary(run(import)),
                ElementsAre("done 100 Import config file successfully!",
                            "failed 0 Login keyboard failed! (wrong password)",
                            "failed 0 Login keyboard failed! (no connection)",
                            "failed 0 Import config file failed!",
                            "done 100 Import config file successfully!",
                            "failed 0 Login keyboard failed! (no connection)",
                            "failed 0 Legal port ranges from 2000 to 65535!"));

    FleetJob upgrade = makeJob(FleetTask::Upgrade);
    upgrade.file = dir / "fw.dav";
    std::ofstream(upgrade.file) << "firmware";
    seen.clear();
    const auto statuses = run(upgrade);
    EXPECT_THAT(summary(statuses),
                ElementsAre("done 100 Update Keyboard successfully!",
                            "failed 0 Login keyboard failed! (wrong password)",
                            "failed 0 Login keyboard failed! (no connection)",
                            // the bar had reached its end when the keyboard said it failed
                            "failed 100 Update failed!", "failed 0 Update failed!",
                            "failed 0 Login keyboard failed! (no connection)",
                            "failed 0 Legal port ranges from 2000 to 65535!"));
    // The progress of the one that succeeded was told on the way.
    EXPECT_GE(seen[0].size(), 4u);

    // A panel program: the keyboard's status line is the message.
    upgrade.panel = true;
    upgrade.file = dir / "panel.hex";
    std::ofstream(upgrade.file) << ":" << std::string(2000, '0');
    keyboards.resize(1);
    EXPECT_THAT(summary(run(upgrade)),
                ElementsAre("done 100 panel has updated successfully,auto rebooting..."));
}

TEST_F(FleetRunTest, ExportOutputCannotBeRedirectedNorShared) {
#ifdef _WIN32
    GTEST_SKIP() << "sticky folders, Unix owners and modes; no link can be made under Wine";
#else
    keyboards.resize(1);  // "ok"
    const auto elsewhere = dir / "elsewhere";
    std::filesystem::create_directory(elsewhere);
    // In a folder all may write in, as /tmp, another user made ok/ first.
    const char* whys[] = {" is a link; not used", " belongs to user nobody; not used",
                          " can be written by others; not used"};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(whys[i]);
        const auto out = dir / std::to_string(i), planted = out / "ok";
        std::filesystem::create_directory(out);
        chmod(out.c_str(), 01777);
        if (i == 0) std::filesystem::create_directory_symlink(elsewhere, planted);
        if (i > 0) std::filesystem::create_directory(planted);
        if (i == 1 && chown(planted.c_str(), 65534, 65534) != 0) continue;  // not root
        if (i == 2) chmod(planted.c_str(), 0770);
        EXPECT_EQ(run(makeJob(FleetTask::Export, out, "s"))[0].message, planted.string() + whys[i]);
        EXPECT_TRUE(std::filesystem::is_empty(elsewhere) && std::filesystem::is_empty(planted));
    }
    // Runs in the same second: each its own file.
    std::set<std::filesystem::path> names;
    for (int i = 0; i < 3; ++i)
        names.insert(run(makeJob(FleetTask::Export, dir / "out", "s"))[0].output.filename());
    EXPECT_EQ(names, (std::set<std::filesystem::path>{"s.bin", "s-2.bin", "s-3.bin"}));
#endif
}

TEST_F(FleetRunTest, AWorkerWithoutALibraryFailsItsKeyboardsAndTheRunEnds) {
    // The library cannot be made on any worker: no keyboard is contacted, none is left waiting.
    FleetJob job = makeJob(FleetTask::Export, dir / "out", "s");
    job.jobs = 2;
    const auto statuses = runFleet(keyboards, job, []() -> std::unique_ptr<NetSdk> {
        throw std::runtime_error("cannot load");
    });
    ASSERT_EQ(statuses.size(), keyboards.size());
    for (const auto& s : statuses)
        EXPECT_EQ(stateName(s.state) + (" " + s.message),
                  "failed the device library could not be loaded");
}

TEST_F(FleetRunTest, EightWorkersExportSixteenKeyboardsAtLeastFiveTimesFaster) {
    std::string site = R"({"latencyMs": 100, "keyboards": [)", inventory;
    for (int i = 0; i < 16; ++i) {
        const std::string ip = "198.51.100." + std::to_string(10 + i);
        site += (i ? "," : "") + std::string(R"({"address": ")") + ip + R"("})";
        inventory += "kb" + std::to_string(i) + "," + ip + "\n";
    }
    useInstallation(site + "]}", "fast.json");
    std::string error;
    keyboards = *parseInventory(inventory, error);
    auto seconds = [&](int jobs) {
        FleetJob job = makeJob(FleetTask::Export, dir / ("jobs" + std::to_string(jobs)), "s");
        job.jobs = jobs;
        const auto start = std::chrono::steady_clock::now();
        for (const auto& s : run(job)) EXPECT_EQ(s.state, FleetState::Done) << s.message;
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    const double one = seconds(1), eight = seconds(8);
    std::printf("export of 16 keyboards at 100 ms: 1 job %.2f s, 8 jobs %.2f s (%.1fx)\n", one,
                eight, one / eight);
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    EXPECT_GT(one / eight, 2.0);  // a sanitizer slows the work between the waits
#else
    EXPECT_GE(one / eight, 5.0);
#endif
}

}  // namespace
}  // namespace kbcfg::remote
