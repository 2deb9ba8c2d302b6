// The device libraries: a folder fixed as the program starts, never a file others could change.
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <gmock/gmock.h>

#include <random>
#include <tuple>

#include "platform/files.h"
#include "remote/library.h"
#include "remote/sim_fixture.h"

namespace kbcfg::remote {
namespace fs = std::filesystem;

TEST(LibraryFolder, RelativeFolderIsTakenFromWhereTheProgramStarted) {
    const fs::path start = fs::current_path();
    kbcfg::testing::TempDir elsewhere;
    ScopedEnv env("KBCFG_LIBDIR", "lib");
    fs::current_path(elsewhere.path());  // as the desktop tool does when it opens a file
    const fs::path folder = libraryFolder();
    fs::current_path(start);
    EXPECT_EQ(folder, start / "lib");
}

TEST(LibraryTrust, OnlyFilesNoOtherUserCanChangeAreLoaded) {
#ifdef _WIN32
    // Under Wine the folder above may be the sticky /tmp, which Wine shows as one everyone may
    // empty: a library in a private folder below it still loads, as on Linux. (Unix owners,
    // groups and modes cannot be set from here.)
    const fs::path tmp = "Z:\\tmp";
    if (!fs::is_directory(tmp)) GTEST_SKIP() << "not under Wine";
    const fs::path own = tmp / ("kbcfg-test-" + std::to_string(std::random_device()()));
    std::error_code ec;
    ASSERT_TRUE(platform::makeFolder(own, platform::FolderAccess::Private, ec)) << ec.message();
    fs::copy_file(libraryFolder() / kNetSdkFile, own / kNetSdkFile);
    const std::string problem = SharedLibrary(kNetSdkFile, {"VYX_Init"}, {}, own).problem();
    fs::remove_all(own, ec);
    EXPECT_EQ(problem, "");
#else
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to hand files to other users";
    // The simulator library in T/a/b/ (group nogroup), `part` then given `mode` (-1: to another
    // user, -2: to the group of root alone); the reason it is refused ("@" for T), empty when it
    // loads.
    const std::tuple<const char*, int, const char*> cases[] = {
        {"a/b", 0755, ""},
        {"a", 01777, ""},  // a sticky folder above the library's own, as /tmp
        {"a/b", 01777, "@/a/b can be written by its group"},
        {"a", 0770, "@/a can be written by its group"},
        {"a", -2, ""},  // group-writable, but the group is the owner's own
        {"a/b/libVyxNetSDK.so", 0646, "@/a/b/libVyxNetSDK.so can be written by others"},
        {"a", -1, "@/a is owned by user nobody"},
    };
    for (const auto& [part, mode, reason] : cases) {
        kbcfg::testing::TempDir tmp;
        const fs::path t = fs::canonical(tmp.path()), lib = t / "a/b" / kNetSdkFile;
        fs::create_directories(t / "a/b");
        fs::copy_file(libraryFolder() / kNetSdkFile, lib);
        for (const char* p : {"a", "a/b", "a/b/libVyxNetSDK.so"})
            if (::chmod((t / p).c_str(), 0755) != 0 || ::chown((t / p).c_str(), 0, 65534) != 0)
                FAIL();
        const fs::path at = t / part;
        if (mode == -1   ? ::chown(at.c_str(), 65534, 0)
            : mode == -2 ? ::chown(at.c_str(), 0, 0) || ::chmod(at.c_str(), 0770)
                         : ::chmod(at.c_str(), static_cast<mode_t>(mode)))
            FAIL();
        SharedLibrary library(kNetSdkFile, {"VYX_Init"}, {}, lib.parent_path());
        const std::string why =
            *reason ? "device library " + lib.string() + " not loaded: " + t.string() + (reason + 1)
                    : "";
        EXPECT_EQ(library.problem(), why) << part << " " << mode;
        EXPECT_EQ(library.symbol(0) != nullptr, why.empty());
    }
#endif
}

}  // namespace kbcfg::remote
