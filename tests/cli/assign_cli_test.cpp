// kbcfg user assign with several devices asked at once, against a simulated site whose devices
// take their time and where some refuse or do not answer: the file and the counts are the same
// whatever --jobs, and several jobs take a fraction of the time.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>

#include "support/cli_runner.h"
#include "support/temp_dir.h"

namespace kbcfg::testing {
namespace {

TEST(AssignCliTest, SeveralJobsWriteTheSameFileInAFractionOfTheTime) {
    TempDir dir;
    {
        std::ofstream site(dir / "site.json");
        site << R"({"loginMs": 120, "latencyMs": 30, "timeoutMs": 200,
            "keyboards": [{"address": "198.51.100.2", "password": "k", "latencyMs": 0}],
            "devices": [)";
        for (int i = 1; i <= 24; ++i) {
            site << (i > 1 ? "," : "") << R"({"address": "203.0.113.)" << i
                 << R"(", "type": 75, "analogChannels": 2, "ipChannels": [1])"
                 << (i % 6 == 2 ? R"(, "reachable": false)" : "")
                 << (i % 8 == 5 ? R"(, "storedPassword": "old")" : "") << "}";
        }
        site << "]}";
    }
    setenv("VYXSIM_INSTALLATION", (dir / "site.json").c_str(), 1);
    unsetenv("KBCFG_PASSWORD");
    const std::string base = (dir / "base.bin").string();
    ASSERT_EQ(
        kbcfg({"keyboard", "export", "--ip", "198.51.100.2", "-p", "k", "--output", base}).status,
        0);
    ASSERT_EQ(kbcfg({"user", "add", "-f", base, "-u", "admin", "-p", "", "--no-backup", "--name",
                     "op", "--password", "pw"})
                  .status,
              0);
    std::vector<std::string> slots;
    for (int s = 0; s < 24; ++s) slots.insert(slots.end(), {"--slot", std::to_string(s)});

    std::string firstFile;
    nlohmann::json firstSummary;
    double oneJob = 0;
    for (const char* jobs : {"1", "3", "8"}) {
        SCOPED_TRACE(jobs);
        const fs::path file = dir / (std::string("kb") + jobs + ".bin");
        fs::copy_file(base, file);
        std::vector<std::string> args = {"user",  "assign", "-f", file.string(), "-u",
                                         "admin", "-p",     "",   "--no-backup", "--record",
                                         "1",     "--jobs", jobs, "--json"};
        args.insert(args.end(), slots.begin(), slots.end());
        const auto start = std::chrono::steady_clock::now();
        const Result r = kbcfg(args);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ASSERT_EQ(r.status, 0) << r.err;
        const auto doc = nlohmann::json::parse(r.out);
        EXPECT_EQ(doc["assigned"], 17);  // 4 do not answer, 3 refuse the password
        EXPECT_EQ(doc["errorConnect"], 4);
        EXPECT_EQ(doc["errorPassword"], 3);
        if (firstFile.empty()) {
            firstFile = readText(file);
            firstSummary = doc;
            oneJob = seconds;
            continue;
        }
        EXPECT_TRUE(readText(file) == firstFile) << "the file differs from the one-job run";
        EXPECT_EQ(doc, firstSummary);  // counts, messages and summary line
        if (std::string(jobs) == "8")
            EXPECT_GT(oneJob / seconds, 3.0) << oneJob << " s with one job, " << seconds << " s";
    }
    unsetenv("VYXSIM_INSTALLATION");
}

}  // namespace
}  // namespace kbcfg::testing
