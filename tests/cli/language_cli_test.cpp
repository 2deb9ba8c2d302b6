// The tool's own lines in Chinese: the same run with KBCFG_LANG=zh speaks Chinese on every line
// it writes for people, and its --json differs from the English one in those texts alone.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>

#include "support/cli_runner.h"
#include "support/temp_dir.h"

namespace kbcfg::testing {
namespace {

using Json = nlohmann::json;

// Texts for people may follow the language; everything else (keys, codes, numbers) may not.
void expectSameButTexts(const Json& en, const Json& zh, const std::string& where) {
    static const std::set<std::string> texts = {"summary", "text", "message", "where"};
    ASSERT_EQ(en.type(), zh.type()) << where;
    if (en.is_object()) {
        ASSERT_EQ(en.size(), zh.size()) << where;
        for (auto a = en.begin(), b = zh.begin(); a != en.end(); ++a, ++b) {
            ASSERT_EQ(a.key(), b.key()) << where;
            // Timings differ between any two runs.
            if (!texts.count(a.key()) && a.key() != "milliseconds")
                expectSameButTexts(*a, *b, where + "." + a.key());
        }
    } else if (en.is_array()) {
        ASSERT_EQ(en.size(), zh.size()) << where;
        for (std::size_t i = 0; i < en.size(); ++i)
            expectSameButTexts(en[i], zh[i], where + "[" + std::to_string(i) + "]");
    } else {
        EXPECT_EQ(en, zh) << where;
    }
}

TEST(LanguageCliTest, ChineseRunSaysItsOwnLinesInChineseWithTheSameJson) {
    unsetEnv("VYXSIM_INSTALLATION");
    unsetEnv("KBCFG_PASSWORD");
    TempDir dir;
    const std::string file = (dir / "run/kb.bin").string(),
                      first = (dir / "run/first.bin").string();
    const std::vector<std::string> login = {"-f", file, "-u", "boss", "-p", "pw"};
    const auto with = [&](std::vector<std::string> args) {
        args.insert(args.end(), login.begin(), login.end());
        return args;
    };
    // One command of a session; `speaks`: it writes lines of its own on stdout (and has --json).
    struct Step {
        std::vector<std::string> args;
        bool speaks;
    };
    const std::vector<Step> steps = {
        {{"new", file, "--admin", "boss", "--password", "pw"}, false},
        {with({"device", "add", "--ip", "198.51.100.20", "--password", "12345"}), true},
        {with({"device", "add", "--ip", "198.51.100.30", "--password", "12345"}), true},
        {with({"user", "add", "--name", "night", "--password", "pw1"}), true},
        {with({"user", "assign", "--record", "1", "--slot", "0"}), true},
        {{"info", file}, true},
        {{"lint", file}, true},
        {{"diff", first, file}, true},
        {{"fleet", "export", "--inventory", (dir / "site.csv").string(), "--output",
          (dir / "run/out").string()},
         true},
        {with({"device", "delete", "--slot", "1", "--yes"}), true},
    };
    std::ofstream(dir / "site.csv") << "name,ip,port\nlobby,198.51.100.20\nyard,198.51.100.30\n";

    // The whole session in a fresh folder of the same name, so that paths agree between runs.
    const auto session = [&](const char* language, bool json) {
        std::filesystem::remove_all(dir / "run");
        std::filesystem::create_directory(dir / "run");
        setEnv("KBCFG_LANG", language);
        std::vector<Result> results;
        for (const Step& step : steps) {
            std::vector<std::string> args = step.args;
            if (json && step.speaks) args.push_back("--json");
            results.push_back(kbcfg(args));
            if (results.size() == 1) std::filesystem::copy_file(file, first);
        }
        setEnv("KBCFG_LANG", "en");
        return results;
    };
    const auto zhText = session("zh", false), enJson = session("en", true),
               zhJson = session("zh", true), enText = session("en", false);

    // Words of the English lines: none is left in a Chinese line.
    const std::regex english(
        "\\b(added|deleted|assigned|exported|failed|done|File|Layout|Operators|Devices|Channels|"
        "operator|device|channel|errors?|warnings?|none|free|NAME|STATE)\\b");
    const std::regex cjk("[\xE4-\xE9][\x80-\xBF][\x80-\xBF]");
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const std::string command = steps[i].args[0] + " " + steps[i].args[1];
        SCOPED_TRACE(command);
        EXPECT_EQ(zhText[i].status, enText[i].status);
        if (!steps[i].speaks) continue;
        EXPECT_TRUE(std::regex_search(zhText[i].out, cjk)) << zhText[i].out;
        std::smatch word;
        EXPECT_FALSE(std::regex_search(zhText[i].out, word, english)) << word.str() << " in\n"
                                                                      << zhText[i].out;
        EXPECT_NE(zhText[i].out, enText[i].out);
        Json en, zh;
        ASSERT_NO_THROW(en = Json::parse(enJson[i].out)) << enJson[i].out;
        ASSERT_NO_THROW(zh = Json::parse(zhJson[i].out)) << zhJson[i].out;
        expectSameButTexts(en, zh, command);
    }
}

}  // namespace
}  // namespace kbcfg::testing
