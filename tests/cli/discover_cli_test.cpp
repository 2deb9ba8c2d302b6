// kbcfg discover against the simulated discovery library.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <chrono>
#include <cstdlib>
#include <fstream>

#include "platform/paths.h"
#include "support/cli_runner.h"
#include "support/temp_dir.h"

namespace kbcfg::testing {
namespace {

using ::testing::HasSubstr;

class DiscoverCliTest : public ::testing::Test {
  protected:
    void useInstallation(const std::string& json) {
        std::ofstream(dir / "site.json") << json;
        setEnv("VYXSIM_INSTALLATION", platform::utf8(dir / "site.json"));
    }
    void TearDown() override { unsetEnv("VYXSIM_INSTALLATION"); }

    TempDir dir;
};

TEST_F(DiscoverCliTest, ChannelCountIsSignedInJson) {
    useInstallation(R"({"discovery": {"events": [
        {"serial": "A", "ip": "203.0.113.1", "channels": 4294967295, "port": 37777}]}})");
    const Result r = kbcfg({"discover", "--seconds", "1", "--json-lines"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr(R"("port":37777,)"));
    EXPECT_THAT(r.out, HasSubstr(R"("channels":-1,)"));
}

TEST_F(DiscoverCliTest, AFloodNeitherOverrunsTheTimeNorGrowsMemory) {
#ifdef _WIN32
    GTEST_SKIP() << "the peak memory of child programs (RUSAGE_CHILDREN) is POSIX alone";
#else
    useInstallation(R"({"discovery": {"burst": {"rate": 0, "devices": 200}}})");
    const auto begin = std::chrono::steady_clock::now();
    const Result r = kbcfg({"discover", "--seconds", "2"}, kNullDevice);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);  // the largest child so far: ctest runs each test alone
    EXPECT_EQ(r.status, 0) << r.err;
    std::printf("discover under a flood: %.2f s, peak %ld MB\n", seconds, usage.ru_maxrss / 1024);
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // A sanitizer build keeps freed memory aside and runs slower: reported, not judged.
#else
    EXPECT_LT(seconds, 3.0);
    EXPECT_LT(usage.ru_maxrss, 64L * 1024);
#endif
#endif
}

}  // namespace
}  // namespace kbcfg::testing
