// kbcfg lint on files in a temporary folder: exit status by the worst finding, and the JSON shape.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "store/checksum.h"
#include "store/config_image.h"
#include "store/fresh_image.h"
#include "support/cli_runner.h"
#include "support/temp_dir.h"

namespace kbcfg::testing {
namespace {

using ::testing::HasSubstr;

// Operator 1 with device 0 and one input channel; what `seed` changes comes on top.
fs::path writeFile(const TempDir& dir, const std::string& name,
                   const std::function<void(store::ConfigImage&)>& seed) {
    auto image = std::make_unique<store::ConfigImage>();
    store::makeFreshImage(*image, "admin", "");
    image->operatorRecord(1).setInUse(1);
    image->operatorRecord(1).setName("op1");
    store::DeviceRecord d = image->device(0);
    d.setInUse(1);
    d.setIp(store::packIp(198, 51, 100, 10));
    d.setPort(8000);
    image->setUserDevice(1, 0, 0);
    image->stream(1, 0).setDeviceSlot(0);
    store::ChannelEntry e = image->channel(1, 0);
    e.setDeviceSlot(0);
    e.setIndex(1);
    e.setNumber(1);
    seed(*image);
    image->updateChecksum();
    std::vector<std::uint8_t> bytes(image->bytes().begin(), image->bytes().end());
    store::scrambleBytes(bytes);
    const fs::path path = dir / name;
    writeAll(path, bytes);
    return path;
}

TEST(LintCliTest, ExitStatusFollowsTheWorstFinding) {
    TempDir dir;
    const fs::path clean = writeFile(dir, "clean.bin", [](store::ConfigImage&) {});
    const fs::path warned =
        writeFile(dir, "warned.bin", [](store::ConfigImage& im) { im.setUserDevice(1, 1, 0); });
    const fs::path broken = writeFile(dir, "broken.bin", [](store::ConfigImage& im) {
        im.setUserDevice(1, 1, 0);
        im.channel(1, 5).setDeviceSlot(9);
    });
    std::vector<std::uint8_t> torn = readAll(clean);
    torn[100] ^= 1;
    writeAll(dir / "torn.bin", torn);

    struct Row {
        std::vector<Arg> args;
        int status;
        std::string out;
    };
    const std::vector<Row> rows = {
        {{"lint", clean}, 0, "0 errors, 0 warnings\n"},
        {{"lint", warned},
         0,
         "warning: operator 1, device list entry 1: device slot 0 is already listed in entry 0 "
         "[device-listed-twice]\n0 errors, 1 warning\n"},
        {{"lint", broken},
         1,
         "warning: operator 1, device list entry 1: device slot 0 is already listed in entry 0 "
         "[device-listed-twice]\nerror: operator 1, channel position 5: device slot 9 is not in "
         "use [device-not-in-use]\n1 error, 1 warning\n"},
        {{"lint", dir / "missing.bin"}, 2, ""},
        {{"lint", dir / "torn.bin"}, 2, ""},
        {{"lint"}, 2, ""},
        {{"lint", clean, "--bogus"}, 2, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.args));
        const Result r = kbcfg({row.args.begin(), row.args.end()});
        EXPECT_EQ(r.status, row.status) << r.err;
        EXPECT_EQ(r.out, row.out);
        if (row.status == 2) {
            EXPECT_FALSE(r.err.empty());
        }
    }
}

TEST(LintCliTest, JsonListsEachFindingWithItsLocation) {
    TempDir dir;
    const fs::path file = writeFile(dir, "groups.bin", [](store::ConfigImage& im) {
        im.groupRow(1, store::GroupTable::Output, 2).setSlot(9, 300);
        im.device(7).setInUse(1);
        im.device(7).setIp(store::packIp(198, 51, 100, 10));
        im.device(7).setPort(8000);
    });
    const Result r = kbcfg({"lint", file, "--json"});
    EXPECT_EQ(r.status, 1) << r.err;
    const auto doc = nlohmann::json::parse(r.out);
    EXPECT_EQ(doc["command"], "lint");
    EXPECT_EQ(doc["file"], file.string());
    EXPECT_EQ(doc["errorCount"], 2);
    EXPECT_EQ(doc["warningCount"], 0);
    EXPECT_FALSE(doc.contains("errors"));
    EXPECT_EQ(doc["status"], 1);
    EXPECT_EQ(doc["messages"], nlohmann::json::array());
    EXPECT_EQ(doc["findings"], nlohmann::json::parse(R"([
        {"severity": "error", "code": "duplicate-address", "table": "devices", "slot": 7,
         "related": 0, "message": "198.51.100.10:8000 is also the address of slot 0"},
        {"severity": "error", "code": "group-cell-empty", "table": "outputGroups", "operator": 1,
         "row": 2, "cell": 9, "value": 300, "message": "channel position 300 is empty"}
    ])"));

    // A file that cannot be read still gives one object, with the load's message.
    const Result missing = kbcfg({"lint", dir / "missing.bin", "--json"});
    EXPECT_EQ(missing.status, 2);
    const auto failed = nlohmann::json::parse(missing.out);
    EXPECT_EQ(failed["status"], 2);
    EXPECT_FALSE(failed["messages"].empty());
    EXPECT_FALSE(failed.contains("findings"));
}

}  // namespace
}  // namespace kbcfg::testing
