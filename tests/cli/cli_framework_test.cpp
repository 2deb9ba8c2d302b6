// The command-line framework: login options in every position, rotating backups and restore.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "store/files.h"
#include "support/cli_runner.h"
#include "support/scripted_host.h"
#include "support/temp_dir.h"

namespace kbcfg::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using Args = std::vector<std::string>;

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

// The subcommands a group's help lists, one a line under "Subcommands:" (read from the help, not
// through the bash completion script, so that it runs where no bash is).
std::vector<std::string> subcommandsOf(const std::string& group) {
    std::istringstream help(kbcfg({group, "--help"}).out);
    std::vector<std::string> out;
    bool listed = false;
    for (std::string line; std::getline(help, line);) {
        if (line.rfind("Subcommands:", 0) == 0)
            listed = true;
        else if (listed && line.rfind("  ", 0) == 0 && line.size() > 2 && line[2] != ' ')
            out.push_back(words(line)[0]);
    }
    return out;
}

class CliFrameworkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(kbcfg({"new", file(), "--admin", "boss", "--password", "pw"}).status, 0);
        ASSERT_EQ(kbcfg({"user", "add", "-f", file(), "-u", "boss", "-p", "pw", "--no-backup",
                         "--name", "op1"})
                      .status,
                  0);
    }
    std::string file() const { return (dir / "kb.bin").string(); }
    fs::path backups() const { return dir / "Backup"; }
    // Adds one device; the file changes on every call.
    Result addDevice(Args extra = {}) {
        Args args = {"device", "add", "-f", file(), "-u",
                     "boss",   "-p",  "pw", "--ip", "198.51.100." + std::to_string(++added)};
        args.insert(args.end(), extra.begin(), extra.end());
        return kbcfg(args);
    }
    std::set<std::string> backupNames() const {
        std::set<std::string> names;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(backups(), ec))
            names.insert(e.path().filename().string());
        return names;
    }
    void plant(const std::string& name, const std::string& content) {
        fs::create_directories(backups());
        std::ofstream(backups() / name) << content;
    }
    // A copy of the file as a backup made `age` hours ago.
    void plantBackup(const std::string& name, int age) {
        plant(name, readText(file()));
        const auto made = fs::file_time_type::clock::now() - std::chrono::hours(age);
        fs::last_write_time(backups() / name, made);
    }

    TempDir dir;
    int added = 0;
};

TEST_F(CliFrameworkTest, LoginOptionsInEveryPositionMeanTheSame) {
    const Args login = {"-f", file(), "-u", "boss", "-p", "pw"};
    const std::vector<Args> commands = {{"device", "list"},
                                        {"user", "list"},
                                        {"channel", "list", "--kind", "input", "--user", "op1"}};
    for (const Args& command : commands) {
        const Args rest(command.begin() + 2, command.end());
        const auto build = [&](int position, const Args& options) {
            Args args;
            if (position == 0) args.insert(args.end(), options.begin(), options.end());
            args.push_back(command[0]);
            if (position == 1) args.insert(args.end(), options.begin(), options.end());
            args.push_back(command[1]);
            if (position == 2) args.insert(args.end(), options.begin(), options.end());
            args.insert(args.end(), rest.begin(), rest.end());
            return args;
        };
        const std::string expected = kbcfg(build(2, login)).out;
        for (int position = 0; position < 3; ++position) {
            const std::string where = command[0] + " at " + std::to_string(position);
            Result r = kbcfg(build(position, login));
            EXPECT_EQ(r.status, 0) << where << r.err;
            EXPECT_EQ(r.out, expected) << where;
            // The same errors wherever the options stand.
            r = kbcfg(build(position, {"-u", "boss"}));
            EXPECT_EQ(r.status, 2) << where;
            EXPECT_THAT(r.err, HasSubstr("--file is required")) << where;
            Args twice = build(position, {"-f", file(), "-u", "boss"});
            twice.insert(twice.end(), {"-f", file()});
            r = kbcfg(twice);
            EXPECT_EQ(r.status, 2) << where;
            EXPECT_THAT(r.err, HasSubstr("--file: At Most 1")) << where;
            r = kbcfg(build(position, {"-f", file(), "-u", "boss", "-p", "wrong"}));
            EXPECT_EQ(r.status, 1) << where;
        }
    }
    // Before a command that does not log in they are a usage error, not silently ignored.
    EXPECT_EQ(kbcfg({"-f", file(), "check", file()}).status, 2);
}

TEST_F(CliFrameworkTest, EveryLoginSubcommandsHelpListsTheLoginOptions) {
    for (const std::string group : {"device", "user", "channel"}) {
        const auto subcommands = subcommandsOf(group);
        ASSERT_GE(subcommands.size(), 3u) << group;
        for (const std::string& sub : subcommands) {
            const Result r = kbcfg({group, sub, "--help"});
            EXPECT_EQ(r.status, 0);
            for (const char* option : {"-f,--file", "-u", "-p", "--no-backup"})
                EXPECT_THAT(r.out, HasSubstr(option)) << group << " " << sub;
        }
    }
}

TEST_F(CliFrameworkTest, EditsKeepTheNewestTwentyBackups) {
    // Reading leaves no copy; --no-backup leaves none either.
    ASSERT_EQ(kbcfg({"device", "list", "-f", file(), "-u", "boss", "-p", "pw"}).status, 0);
    ASSERT_EQ(addDevice({"--no-backup"}).status, 0);
    EXPECT_TRUE(backupNames().empty());

    // Eighteen older backups, two of them in one second (serial 9 is older than serial 10), the
    // desktop tool's own copy and a stranger that only looks similar.
    plantBackup("kb.bin.20200101-000000-9.bak", 100);
    plantBackup("kb.bin.20200101-000000-10.bak", 99);
    for (int i = 0; i < 16; ++i)
        plantBackup("kb.bin.202101" + std::to_string(10 + i) + "-000000.bak", 50 - i);
    plant("kb.bin", "desktop copy");
    plant("kb.bin.old.bak", "not ours");

    const std::string beforeFirst = readText(file());
    ASSERT_EQ(addDevice().status, 0);  // 19 of ours
    const std::string beforeSecond = readText(file());
    ASSERT_EQ(addDevice().status, 0);  // 20
    ASSERT_EQ(addDevice().status, 0);  // 21: the oldest goes
    const auto names = backupNames();
    EXPECT_EQ(names.size(), 20u + 2u);
    EXPECT_FALSE(names.count("kb.bin.20200101-000000-9.bak"));
    EXPECT_TRUE(names.count("kb.bin.20200101-000000-10.bak"));
    EXPECT_TRUE(names.count("kb.bin") && names.count("kb.bin.old.bak"));

    // Listed newest first, each holding the file as it was before one command.
    Result r = kbcfg({"backups", file()});
    ASSERT_EQ(r.status, 0);
    const auto listed = words(r.out);
    ASSERT_EQ(listed.size(), 20u);
    EXPECT_EQ(readText(listed[1]), beforeSecond);
    EXPECT_EQ(readText(listed[2]), beforeFirst);
    EXPECT_EQ(fs::path(listed.back()).filename(), "kb.bin.20200101-000000-10.bak");
    r = kbcfg({"backups", file(), "--json"});
    const auto json = nlohmann::json::parse(r.out);
    ASSERT_EQ(json["backups"].size(), 20u);
    EXPECT_EQ(json["backups"][0]["path"], listed[0]);
    EXPECT_EQ(json["backups"][0]["bytes"], readText(listed[0]).size());
}

TEST_F(CliFrameworkTest, NoChangeWithoutItsBackup) {
    std::ofstream(backups()) << "a file where the folder should be";
    const std::string before = readText(file());
    Result r = addDevice();
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("--no-backup"));
    EXPECT_EQ(readText(file()), before);
    EXPECT_EQ(addDevice({"--no-backup"}).status, 0);
}

TEST_F(CliFrameworkTest, RestorePutsABackBackAfterBackingUpTheFile) {
    ASSERT_EQ(addDevice().status, 0);
    const std::string original = readText(words(kbcfg({"backups", file()}).out).at(0));
    for (int i = 0; i < 19; ++i) ASSERT_EQ(addDevice().status, 0);
    // The oldest of twenty: backing up the current file rotates it away, yet it is restored.
    auto listed = words(kbcfg({"backups", file()}).out);
    ASSERT_EQ(listed.size(), 20u);
    const std::string current = readText(file());
    Result r = kbcfg({"restore", file(), fs::path(listed.back()).filename().string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("restored " + file()));
    EXPECT_EQ(readText(file()), original);
    listed = words(kbcfg({"backups", file()}).out);
    EXPECT_EQ(readText(listed.front()), current);
    EXPECT_EQ(listed.size(), 20u);

    // Not a configuration file, a missing backup, an editor at work: nothing changes.
    plant("junk.bin", "not a configuration file");
    const std::string now = readText(file());
    EXPECT_EQ(kbcfg({"restore", file(), (backups() / "junk.bin").string()}).status, 1);
    EXPECT_EQ(kbcfg({"restore", file(), "kb.bin.19990101-000000.bak"}).status, 1);
    {
        ScriptedHost host;
        store::SessionState editor;
        store::setConfigPaths(editor, file());
        ASSERT_EQ(store::beginEditSession(host, editor), 0);
        r = kbcfg({"restore", file(), listed.back()});
        EXPECT_EQ(r.status, 1);
        store::endEditSession(editor);
    }
    EXPECT_EQ(readText(file()), now);
    EXPECT_EQ(words(kbcfg({"backups", file()}).out), listed);
}

TEST_F(CliFrameworkTest, RestoreLooksInBackupThenTakesTheNameAsAPath) {
    const fs::path home = fs::current_path();
    fs::current_path(dir.path());
    ASSERT_EQ(kbcfg({"new", "here.bin", "--admin", "here"}).status, 0);
    // A bare name is a file of the current folder until Backup/ has one of that name.
    for (const fs::path& used : {fs::current_path() / "here.bin", backups() / "here.bin"}) {
        if (used == backups() / "here.bin") {
            ASSERT_EQ(kbcfg({"new", used, "--admin", "b"}).status, 0);
        }
        const Result r = kbcfg({"restore", file(), "here.bin"});
        EXPECT_EQ(r.out, "restored " + file() + " from " + used.string() + "\n") << r.err;
        EXPECT_EQ(readText(file()), readText(used));
    }
    fs::current_path(home);
}

}  // namespace
}  // namespace kbcfg::testing
