// Several kbcfg processes on one file, and processes killed while they write.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <random>
#include <thread>

#include "platform/access.h"
#include "platform/files.h"
#include "platform/process.h"
#include "store/files.h"
#include "support/cli_runner.h"
#include "support/scripted_host.h"
#include "support/temp_dir.h"

namespace kbcfg::testing {
namespace {

using ::testing::HasSubstr;

// Output dropped; errors stay visible in the test's own output.
Child spawn(const std::vector<std::string>& args) {
    return spawnProgram(args, kNullDevice);
}

TEST(FileSafetyCli, ConcurrentWritersLoseNothing) {
#ifdef _WIN32
    GTEST_SKIP() << "the writers are bash loops; the lock's refusal is EveryWriter... below";
#endif
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
    std::vector<Child> writers;
    for (int w = 0; w < kWriters; ++w)
        writers.push_back(
            spawn({"/bin/bash", "-c", script, KBCFG_CLI_PATH, std::to_string(100 + w), file}));
    for (Child& writer : writers) EXPECT_EQ(waitFor(writer), 0);

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
        EXPECT_THAT(
            r.err, HasSubstr("is being edited by process " + std::to_string(platform::processId())))
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
    auto leftovers = [&](long of = 0) {
        const std::string mark = of ? ".kbcfg-" + std::to_string(of) + "-" : ".kbcfg-";
        int n = 0;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            n += entry.path().filename().string().find(mark) != std::string::npos;
        return n;
    };
    for (int round = 0; round < 16; ++round) {
        // Killed outright, or asked to stop (which also takes its temporary file away). Windows
        // has no request to stop a program without a console: killed outright alone there.
        const bool kill = round % 2 == 1;
#ifdef _WIN32
        if (!kill) continue;
#endif
        Child child =
            spawn({KBCFG_CLI_PATH, "decode", (dir / "in").string(), (dir / "out").string()});
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 40));
#ifndef _WIN32
        if (!kill) ::kill(static_cast<pid_t>(child.pid), SIGTERM);
#endif
        if (kill) killProgram(child);
        waitFor(child);
        const auto now = readAll(dir / "out");
        EXPECT_TRUE(now == old || now == decoded) << "round " << round << ": " << now.size();
        if (!kill) {
            EXPECT_EQ(leftovers(child.pid), 0) << "round " << round;
        }
    }
    // The next write into the folder clears what the killed ones left.
    ASSERT_EQ(kbcfg({"decode", (dir / "in").string(), (dir / "out").string()}).status, 0);
    EXPECT_EQ(leftovers(), 0);
}

// The owner's alone: mode 0600, or on Windows nobody else in the file's ACL.
bool isPrivate(const fs::path& path) {
#ifdef _WIN32
    return fs::exists(path) && !platform::othersMayAccess(path);
#else
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && (st.st_mode & 07777) == 0600;
#endif
}

platform::Protection protectionOf(const fs::path& path) {
    std::error_code ec;
    const auto info = platform::fileInfo(path, platform::Links::NoFollow, ec);
    return info ? info->protection : platform::Protection{};
}

TEST(FileSafetyCli, WhatHoldsAPasswordIsCreatedPrivate) {
    TempDir dir;
#ifndef _WIN32
    const mode_t mask = ::umask(022);
#endif
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
        EXPECT_TRUE(isPrivate(dir / name)) << args[0];
    }
    EXPECT_TRUE(isPrivate(dir / "kb.bin"));
    EXPECT_FALSE(isPrivate(dir / "plain.json"));  // no password in it: the system's default
    // A file that is replaced keeps its own protection (mode, or security descriptor).
    {
        std::error_code ec;
        platform::File converted =
            platform::openForWriting(dir / "converted.bin", platform::Create::No, ec);
        std::string why;
        ASSERT_TRUE(platform::applyProtection(
            converted, platform::protectionForNew(platform::NewFile::Default), false, why))
            << why;
    }
    const platform::Protection before = protectionOf(dir / "converted.bin");
    EXPECT_EQ(kbcfg({"convert", at("kb.bin"), at("converted.bin")}).status, 0);
    EXPECT_EQ(protectionOf(dir / "converted.bin").mode, before.mode);
    EXPECT_EQ(protectionOf(dir / "converted.bin").descriptor, before.descriptor);
    EXPECT_FALSE(isPrivate(dir / "converted.bin"));
    // Names the file system takes work, however long.
    const std::string longName = at((std::string(250, 'n') + ".bin").c_str());
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"new", longName, "--force"},
                                               {"convert", at("kb.bin"), longName},
                                               {"decode", at("kb.bin"), longName}})
        EXPECT_EQ(kbcfg(args).status, 0) << args[0];
#ifndef _WIN32
    ::umask(mask);
#endif
}

TEST(FileSafetyCli, BackupsAreTheOwnersAndRankedByWhenTheyWereMade) {
#ifdef _WIN32
    GTEST_SKIP() << "Unix owners, setpriv and utimensat; a backup's protection is its file's";
#else
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
        Child child = spawn(args);
        return waitFor(child);
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
#endif
}

}  // namespace
}  // namespace kbcfg::testing
