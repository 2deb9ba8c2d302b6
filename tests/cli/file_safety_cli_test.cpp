// Several kbcfg processes on one file, and processes killed while they write.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
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
    const std::vector<std::vector<std::string>> writers = {
        {"device", "add", "--ip", "198.51.100.9", "-f", file, "-u", "boss", "-p", "pw"},
        {"new", file, "--force"},
        {"convert", other, file},
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
        if (signal == SIGTERM) EXPECT_EQ(leftovers(pid), 0) << "round " << round;
    }
    // The next write into the folder clears what the killed ones left.
    ASSERT_EQ(kbcfg({"decode", (dir / "in").string(), (dir / "out").string()}).status, 0);
    EXPECT_EQ(leftovers(), 0);
}

}  // namespace
}  // namespace kbcfg::testing
