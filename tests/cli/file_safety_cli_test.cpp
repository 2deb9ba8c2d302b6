// Several kbcfg processes on one file, and processes killed while they write.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <random>
#include <thread>

#include "store/files.h"
#include "support/cli_runner.h"
#include "support/scripted_host.h"
#include "support/temp_dir.h"

namespace kbcfg::testing {
namespace {

using ::testing::HasSubstr;

// Output dropped; errors stay visible in the test's own output.
pid_t spawn(const std::vector<std::string>& args) {
    return spawnProgram(args, "/dev/null");
}

int waitFor(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(FileSafetyCli, ConcurrentWritersLoseNothing) {
    TempDir dir;
    const std::string file = (dir / "kb.bin").string();
    ASSERT_EQ(kbcfg({"new", file, "--admin", "boss", "--password", "pw"}).status, 0);
    // Each writer adds 25 devices; a refused add (the file is being edited) is tried again, and
    // an add that says it succeeded must be in the file at the end.
    constexpr int kWriters = 4, kAdds = 25;
    const std::string script = R"(
        ok=0; refused=0
        for i in $(seq 1 25); do
            for try in $(seq 1 400); do
                if err=$("$0" device add --ip "198.51.$1.$i" -f "$2" -u boss -p pw 2>&1 >/dev/null); then
                    ok=$((ok+1)); break
                fi
                case "$err" in *"is being edited by"*) refused=$((refused+1));; *) echo "$err" >&2; exit 3;; esac
            done
        done
        [ "$ok" = 25 ] || exit 4
        echo "$refused" > "$2.refused.$1")";
    std::vector<pid_t> writers;
    for (int w = 0; w < kWriters; ++w)
        writers.push_back(
            spawn({"/bin/bash", "-c", script, KBCFG_CLI_PATH, std::to_string(100 + w), file}));
    for (pid_t pid : writers) EXPECT_EQ(waitFor(pid), 0);

    store::SessionState session;
    store::setConfigPaths(session, file);
    ScriptedHost host;
    auto image = std::make_unique<store::ConfigImage>();
    ASSERT_EQ(store::loadImage(host, session, *image), 0);
    int devices = 0;
    for (int slot = 0; slot < store::layout::kDeviceCount; ++slot)
        devices += image->device(slot).inUse() ? 1 : 0;
    EXPECT_EQ(devices, kWriters * kAdds);
    int refused = 0;
    for (int w = 0; w < kWriters; ++w)
        refused += std::atoi(readText(file + ".refused." + std::to_string(100 + w)).c_str());
    std::cout << kWriters << " x " << kAdds << " adds: " << devices << " in the file, " << refused
              << " refusals while another writer held the file\n";
    // Nothing of the lock or of a temporary file stays behind.
    for (const auto& entry : fs::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename().string().find(".kbcfg-"), std::string::npos)
            << entry.path();
}

TEST(FileSafetyCli, EveryWriterOfAConfigurationFileWaitsForItsEditor) {
    TempDir dir;
    const std::string file = (dir / "kb.bin").string(), other = (dir / "other.bin").string();
    ASSERT_EQ(kbcfg({"new", file, "--admin", "boss", "--password", "pw"}).status, 0);
    ASSERT_EQ(kbcfg({"new", other, "--admin", "boss", "--password", "pw"}).status, 0);
    const auto before = readAll(file);
    std::string why;
    const auto editor = store::ConfigLock::acquire(file, why);
    ASSERT_TRUE(editor) << why;
    const std::string json = (dir / "kb.json").string();
    ASSERT_EQ(kbcfg({"export-json", other, "-o", json}).status, 0);
    const std::vector<std::vector<std::string>> writers = {
        {"device", "add", "--ip", "198.51.100.9", "-f", file, "-u", "boss", "-p", "pw"},
        {"new", file, "--force"},
        {"convert", other, file},
        {"build", json, file},
        {"encode", other, file},
        {"decode", other, file},
        {"keyboard", "export", "--ip", "198.51.100.2", "-p", "12345", "--output", file},
    };
    for (const auto& args : writers) {
        const Result r = kbcfg(args);
        EXPECT_EQ(r.status, 1) << args[0];
        EXPECT_THAT(r.err, HasSubstr("is being edited by process " + std::to_string(::getpid())))
            << args[0];
    }
    EXPECT_EQ(readAll(file), before);
    // Readers go on, and a file of the same folder is nobody's business.
    EXPECT_EQ(kbcfg({"check", file}).status, 0);
    EXPECT_EQ(
        kbcfg({"device", "add", "--ip", "198.51.100.9", "-f", other, "-u", "boss", "-p", "pw"})
            .status,
        0);
}

TEST(FileSafetyCli, AKilledDecodeNeverTearsItsOutput) {
    TempDir dir;
    std::vector<std::uint8_t> in(4 << 20);
    std::mt19937 random(7);
    for (auto& b : in) b = static_cast<std::uint8_t>(random());
    writeAll(dir / "in", in);
    const std::vector<std::uint8_t> old(1000, 0xEE);
    writeAll(dir / "out", old);
    ASSERT_EQ(kbcfg({"decode", (dir / "in").string(), (dir / "decoded").string()}).status, 0);
    const std::vector<std::uint8_t> decoded = readAll(dir / "decoded");

    // Temporary files in the folder (those of one process, when given).
    auto leftovers = [&](pid_t of = 0) {
        const std::string mark = of ? ".kbcfg-" + std::to_string(of) + "-" : ".kbcfg-";
        int n = 0;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            n += entry.path().filename().string().find(mark) != std::string::npos;
        return n;
    };
    for (int round = 0; round < 16; ++round) {
        // Killed outright, or asked to stop (which also takes its temporary file away).
        const int signal = round % 2 ? SIGKILL : SIGTERM;
        const pid_t pid =
            spawn({KBCFG_CLI_PATH, "decode", (dir / "in").string(), (dir / "out").string()});
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 40));
        ::kill(pid, signal);
        waitFor(pid);
        const auto now = readAll(dir / "out");
        EXPECT_TRUE(now == old || now == decoded) << "round " << round << ": " << now.size();
        if (signal == SIGTERM) {
            EXPECT_EQ(leftovers(pid), 0) << "round " << round;
        }
    }
    // The next write into the folder clears what the killed ones left.
    ASSERT_EQ(kbcfg({"decode", (dir / "in").string(), (dir / "out").string()}).status, 0);
    EXPECT_EQ(leftovers(), 0);
}

mode_t modeOf(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(FileSafetyCli, WhatHoldsAPasswordIsCreatedPrivate) {
    TempDir dir;
    const mode_t mask = ::umask(022);
    const auto at = [&](const char* name) { return (dir / name).string(); };
    ASSERT_EQ(kbcfg({"new", at("kb.bin"), "--password", "pw"}).status, 0);
    ASSERT_EQ(kbcfg({"export-json", at("kb.bin"), "-o", at("plain.json")}).status, 0);
    ASSERT_EQ(kbcfg({"-f", at("kb.bin"), "-u", "admin", "-p", "pw", "device", "add", "--ip",
                     "198.51.100.9"})
                  .status,
              0);
    const std::string backup = fs::path(kbcfg({"backups", at("kb.bin")}).out).filename().string();
    const std::pair<std::vector<std::string>, std::string> outputs[] = {
        {{"convert", at("kb.bin"), at("converted.bin")}, "converted.bin"},
        {{"build", at("plain.json"), at("built.bin")}, "built.bin"},
        {{"decode", at("kb.bin"), at("kb.plain")}, "kb.plain"},
        {{"encode", at("kb.plain"), at("encoded.bin")}, "encoded.bin"},
        {{"export-json", at("kb.bin"), "--with-passwords", "-o", at("secret.json")}, "secret.json"},
        {{"restore", at("gone.bin"),
          (dir / "Backup" / backup.substr(0, backup.size() - 1)).string()},
         "gone.bin"},
        {{"keyboard", "export", "--ip", "198.51.100.2", "-p", "12345", "--output", at("k.bin")},
         "k.bin"},
    };
    for (const auto& [args, name] : outputs) {
        const Result r = kbcfg(args);
        EXPECT_EQ(r.status, 0) << args[0] << ": " << r.err;
        EXPECT_EQ(modeOf(dir / name), 0600u) << args[0];
    }
    EXPECT_EQ(modeOf(dir / "kb.bin"), 0600u);
    EXPECT_EQ(modeOf(dir / "plain.json"), 0644u);  // no password in it: the umask decides
    // A file that is replaced keeps its own mode.
    ::chmod(at("converted.bin").c_str(), 0640);
    EXPECT_EQ(kbcfg({"convert", at("kb.bin"), at("converted.bin")}).status, 0);
    EXPECT_EQ(modeOf(dir / "converted.bin"), 0640u);
    // Names the file system takes work, however long.
    const std::string longName = at((std::string(250, 'n') + ".bin").c_str());
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"new", longName, "--force"},
                                               {"convert", at("kb.bin"), longName},
                                               {"decode", at("kb.bin"), longName}})
        EXPECT_EQ(kbcfg(args).status, 0) << args[0];
    ::umask(mask);
}

TEST(FileSafetyCli, BackupsAreTheOwnersAndRankedByWhenTheyWereMade) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as two users";
    constexpr uid_t kOwner = 65534;
    TempDir top;
    ::chmod(top.path().c_str(), 0755);
    const fs::path dir = top / "site";
    fs::create_directory(dir);
    ASSERT_EQ(::chown(dir.c_str(), kOwner, kOwner), 0);
    const std::string file = (dir / "kb.bin").string();
    const auto edit = [&](const std::string& ip, bool asOwner) {
        std::vector<std::string> args = {KBCFG_CLI_PATH, "-f",     file,  "-u",   "admin", "-p",
                                         "pw",           "device", "add", "--ip", ip};
        if (asOwner)
            args.insert(args.begin(),
                        {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
        return waitFor(spawn(args));
    };
    ASSERT_EQ(kbcfg({"new", file, "--password", "pw"}).status, 0);
    ASSERT_EQ(::chown(file.c_str(), kOwner, kOwner), 0);
    // Root edits the user's file: the backups stay the user's, who goes on editing.
    ASSERT_EQ(edit("198.51.100.1", false), 0);
    struct stat st {};
    ::stat((dir / "Backup").c_str(), &st);
    EXPECT_EQ(st.st_uid, kOwner);
    for (const auto& backup : fs::directory_iterator(dir / "Backup")) {
        ::stat(backup.path().c_str(), &st);
        EXPECT_EQ(st.st_uid, kOwner) << backup.path();
    }
    ASSERT_EQ(edit("198.51.100.2", true), 0);

    // Backups made long ago under names of a later clock or zone, junk under backup names and a
    // planted link: the edit keeps the copy it makes and the most recently made others, and
    // touches nothing that is not a backup.
    const fs::path backups = dir / "Backup";
    const auto real = readAll(file);
    for (int i = 10; i < 30; ++i) {
        const fs::path ahead = backups / ("kb.bin.20991231-2359" + std::to_string(i) + ".bak");
        writeAll(ahead, real);
        const timespec earlier[2] = {{1'600'000'000 + i, 0}, {1'600'000'000 + i, 0}};
        ::utimensat(AT_FDCWD, ahead.c_str(), earlier, 0);
        ASSERT_EQ(::chown(ahead.c_str(), kOwner, kOwner), 0);
        writeAll(backups / ("kb.bin.99991231-2359" + std::to_string(i) + ".bak"), {1, 2, 3});
    }
    fs::create_symlink("/etc/passwd", backups / "kb.bin.99991231-235999.bak");
    const std::string newest = kbcfg({"backups", file}).out;
    ASSERT_EQ(edit("198.51.100.3", true), 0);
    const std::string listed = kbcfg({"backups", file}).out;
    EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), 20);
    EXPECT_THAT(listed, ::testing::Not(HasSubstr("9999")));
    EXPECT_THAT(listed, HasSubstr(newest.substr(0, newest.find('\n'))));
    int made = 0, junk = 0;
    for (const auto& entry : fs::directory_iterator(backups)) {
        const std::string name = entry.path().filename().string();
        made += name.starts_with("kb.bin.20") && !name.starts_with("kb.bin.2099");
        junk += name.starts_with("kb.bin.9999");
    }
    EXPECT_EQ(made, 3);  // the two edits' copies and this one's
    EXPECT_EQ(junk, 21);
}

}  // namespace
}  // namespace kbcfg::testing
