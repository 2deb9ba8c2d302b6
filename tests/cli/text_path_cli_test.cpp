// Files and folders named with characters beyond ASCII and with blanks. The command line takes
// names as UTF-8 text; the file made must carry exactly the name given, on a system that keeps
// names as bytes as on one that keeps them in UTF-16.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <set>

#include "platform/paths.h"
#include "support/cli_runner.h"
#include "support/temp_dir.h"

namespace kbcfg::testing {
namespace {

TEST(TextPathCliTest, CommandsMakeAndReadFilesOfTheNamesGiven) {
    struct Row {
        const char* folder;
        const char* stem;
    };
    const Row rows[] = {
        {"café", "café"},
        {"配置", "配置"},
        {"a folder", "a name"},
        {"plain", "キーボード Ω"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.stem);
        TempDir dir;
        const fs::path folder = dir.path() / platform::fromUtf8(row.folder);
        ASSERT_TRUE(fs::create_directory(folder));
        const std::string stem = row.stem;
        const auto at = [&](const std::string& name) { return folder / platform::fromUtf8(name); };
        const fs::path config = at(stem + ".bin");

        Result r = kbcfg({"new", config});
        ASSERT_EQ(r.status, 0) << r.err;
        r = kbcfg({"info", config, "--json"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(nlohmann::json::parse(r.out, nullptr, false)["file"], platform::utf8(config));
        r = kbcfg({"convert", config, at(stem + " copy.bin")});
        EXPECT_EQ(r.status, 0) << r.err;
        r = kbcfg({"export-json", config, "-o", at(stem + ".json")});
        EXPECT_EQ(r.status, 0) << r.err;
        r = kbcfg({"build", at(stem + ".json"), at(stem + " built.bin")});
        EXPECT_EQ(r.status, 0) << r.err;

        // Exactly these names beside each other: a mangled one would be a stranger here.
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.insert(platform::utf8(entry.path().filename()));
        EXPECT_EQ(names, (std::set<std::string>{stem + ".bin", stem + " copy.bin", stem + ".json",
                                                stem + " built.bin"}));
        EXPECT_EQ(readAll(at(stem + " built.bin")), readAll(config));
    }
}

}  // namespace
}  // namespace kbcfg::testing
