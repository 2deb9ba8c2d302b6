// A build without the backup history (no libgit2: the Windows build) refuses fleet backup
// plainly, before it reads the inventory or makes the repository's folder.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "platform/paths.h"
#include "support/cli_runner.h"
#include "support/temp_dir.h"

namespace kbcfg::testing {
namespace {

TEST(NoHistoryCli, FleetBackupSaysTheBuildHasNoHistoryAndWritesNothing) {
#ifdef KBCFG_HISTORY
    GTEST_SKIP() << "this build keeps the backup history";
#else
    TempDir dir;
    std::ofstream(dir / "site.csv") << "kb1,198.51.100.10\n";
    for (const bool json : {false, true}) {
        std::vector<std::string> args = {"fleet",       "backup",
                                         "--inventory", platform::utf8(dir / "site.csv"),
                                         "--repo",      platform::utf8(dir / "repo")};
        if (json) args.push_back("--json");
        const Result r = kbcfg(args);
        EXPECT_EQ(r.status, 1) << json;
        EXPECT_THAT(r.err, ::testing::HasSubstr("no backup history")) << json;
        EXPECT_FALSE(fs::exists(dir / "repo")) << json;
    }
#endif
}

}  // namespace
}  // namespace kbcfg::testing
