// kbcfg fleet backup, plan and apply against simulated keyboards that keep what they are sent
// across processes: the whole road of a change, and each way an apply can end badly.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>

#include "history/git_repository.h"
#include "platform/access.h"
#include "platform/paths.h"
#include "support/cli_runner.h"
#include "support/temp_dir.h"

namespace kbcfg::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Json = nlohmann::json;

class FleetConfigTest : public ::testing::Test {
  protected:
    // Five keyboards; `switches` adds keys to each one's description.
    void site(const std::vector<std::string>& switches) {
        std::string text = R"({"keyboards": [)", inventory;
        for (int i = 0; i < 5; ++i) {
            const std::string ip = "198.51.100." + std::to_string(10 + i);
            text += (i ? "," : "") + std::string(R"({"address": ")") + ip + "\"" +
                    (i < static_cast<int>(switches.size()) ? switches[i] : "") + "}";
            inventory += "kb" + std::to_string(i + 1) + "," + ip + "\n";
        }
        std::ofstream(dir / "site.json") << text + "]}";
        std::ofstream(dir / "site.csv") << inventory;
        setEnv("VYXSIM_INSTALLATION", platform::utf8(dir / "site.json"));
        setEnv("VYXSIM_STATE", platform::utf8(dir / "state"));
    }
    void TearDown() override {
        unsetEnv("VYXSIM_INSTALLATION");
        unsetEnv("VYXSIM_STATE");
    }
    Result fleet(const char* task, std::vector<std::string> more = {}) {
        std::vector<std::string> args = {"fleet",
                                         task,
                                         "--inventory",
                                         (dir / "site.csv").string(),
                                         task == std::string("backup") ? "--repo" : "--desired",
                                         repo().string(),
                                         "--json"};
        args.insert(args.end(), more.begin(), more.end());
        return kbcfg(args);
    }
    fs::path repo() const { return dir / "repo"; }
    // Adds an operator to a keyboard's text form, and commits that unless told not to.
    void addOperator(const std::string& keyboard, const std::string& name, bool commit = true) {
        const std::string path = keyboard + "/config.json";
        Json doc = Json::parse(readText(repo() / path));
        doc["operators"].push_back({{"record", 2}, {"inUse", 1}, {"name", name}});
        std::string error;
        if (commit)
            ASSERT_TRUE(history::GitRepository::open(repo(), error)
                            ->commit({{path, doc.dump(2)}}, "add " + name, error))
                << error;
        else
            std::ofstream(repo() / path) << doc.dump(2);
    }
    static std::vector<std::string> states(const Json& doc, const char* list = "keyboards") {
        std::vector<std::string> out;
        for (const Json& k : doc[list])
            out.push_back(k["name"].get<std::string>() + " " + k["state"].get<std::string>());
        return out;
    }

    TempDir dir;
};

TEST_F(FleetConfigTest, ARoadFromBackupThroughPlanAndApplyToACleanPlan) {
    site({});
    Result r = fleet("backup");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string first = Json::parse(r.out)["commit"];
    EXPECT_EQ(Json::parse(r.out)["changed"], 5);
    // No password reaches the repository.
    EXPECT_THAT(readText(repo() / "kb1/config.json"), HasSubstr("\"withPasswords\": false"));

    addOperator("kb3", "night");
    r = fleet("plan");
    EXPECT_EQ(r.status, 2) << r.err;
    Json plan = Json::parse(r.out)["plan"];
    EXPECT_THAT(plan[2]["changes"], ElementsAre("operator 2 (night): added (inUse 1, name "
                                                "\"night\")"));
    EXPECT_EQ(plan[0]["changes"], Json::array());

    r = fleet("apply");  // no terminal, no --yes: nothing is sent
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("give --yes"));
    r = fleet("apply", {"--yes"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(states(Json::parse(r.out)),
                ElementsAre("kb1 unchanged", "kb2 unchanged", "kb3 applied", "kb4 unchanged",
                            "kb5 unchanged"));
    const fs::path kept = Json::parse(r.out)["keyboards"][2]["rollbackImage"];
    EXPECT_FALSE(platform::othersMayAccess(kept));

    // A separate process sees what the keyboard keeps: one commit, then nothing to do.
    r = fleet("backup");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(Json::parse(r.out)["commit"], first);
    EXPECT_TRUE(Json::parse(fleet("backup").out)["commit"].is_null());
    EXPECT_EQ(fleet("plan").status, 0);
    EXPECT_EQ(fleet("apply", {"--yes"}).status, 0);
}

TEST_F(FleetConfigTest, AnApplyThatDoesNotHoldEndsRolledBackOrLoudlyNot) {
    site({"", R"(, "forgetImport": true)", R"(, "forgetImport": true, "refuseRollback": true)",
          R"(, "refuseImport": true)", R"(, "reachable": false)"});
    ASSERT_EQ(fleet("backup").status, 1);  // kb5 not reached
    for (const char* kb : {"kb1", "kb2", "kb3", "kb4"}) addOperator(kb, "night");

    Result r = fleet("apply", {"--yes", "--jobs", "4"});
    EXPECT_EQ(r.status, 1);
    const Json doc = Json::parse(r.out);
    EXPECT_THAT(states(doc), ElementsAre("kb1 applied", "kb2 rolled back", "kb3 rollback failed",
                                         "kb4 rollback failed", "kb5 unchanged"));
    EXPECT_THAT(doc["keyboards"][1]["reason"].get<std::string>(),
                HasSubstr("it holds another configuration than the one sent"));
    const std::string image = doc["keyboards"][2]["rollbackImage"];
    EXPECT_TRUE(fs::is_regular_file(image));
    EXPECT_THAT(r.err, HasSubstr("ROLLBACK FAILED on kb3"));
    EXPECT_THAT(r.err, HasSubstr(image));

    // A canary that does not hold stops the run before any other keyboard is touched.
    r = fleet("apply", {"--yes", "--canary", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(states(Json::parse(r.out)),
                ElementsAre("kb1 unchanged", "kb2 rolled back", "kb3 not started",
                            "kb4 not started", "kb5 unchanged"));
}

TEST_F(FleetConfigTest, WorkNotCommittedIsNeverOverwrittenAndABrokenTextFormIsNamed) {
    site({});
    ASSERT_EQ(fleet("backup").status, 0);
    addOperator("kb2", "draft", false);
    const std::string draft = readText(repo() / "kb2/config.json");
    const Result r = fleet("backup");
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("kb2/config.json has changes not committed"));
    EXPECT_EQ(readText(repo() / "kb2/config.json"), draft);

    std::ofstream(repo() / "kb4/config.json") << R"({"operators": [{"record": 9}]})";
    const Json plan = Json::parse(fleet("plan").out);
    EXPECT_EQ(plan["status"], 1);
    EXPECT_EQ(plan["plan"][3]["state"], "failed");
    EXPECT_THAT(plan["plan"][3]["problem"].get<std::string>(),
                HasSubstr((repo() / "kb4/config.json").string() + ": $."));
}

}  // namespace
}  // namespace kbcfg::testing
