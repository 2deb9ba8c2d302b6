// The device commands against real files: each runs the login and the device presenters.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>

#include "store/files.h"
#include "support/cli_runner.h"
#include "support/scripted_host.h"
#include "support/temp_dir.h"

namespace kbcfg::testing {
namespace {

using ::testing::HasSubstr;

class DeviceCliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(kbcfg({"new", file(), "--admin", "boss", "--password", "pw"}).status, 0);
        auto image = load();
        image->operatorRecord(1).setInUse(1);
        image->operatorRecord(1).setName("op1");
        save(*image);
    }
    std::string file() const { return (dir / "kb.bin").string(); }
    std::vector<std::string> login(std::vector<std::string> args) const {
        for (const char* a : {"-f", "", "-u", "boss", "-p", "pw"}) args.push_back(a);
        args[args.size() - 5] = file();
        return args;
    }
    std::unique_ptr<store::ConfigImage> load() {
        store::SessionState session;
        store::setConfigPaths(session, file());
        auto image = std::make_unique<store::ConfigImage>();
        EXPECT_EQ(store::loadImage(host, session, *image), 0);
        return image;
    }
    void save(store::ConfigImage& image) {
        store::SessionState session;
        store::setConfigPaths(session, file());
        ASSERT_EQ(store::saveChange(host, session, image), 0);
    }

    TempDir dir;
    ScriptedHost host;
};

TEST_F(DeviceCliTest, AddListAndTextBoxesAsTyped) {
    auto r = kbcfg(login({"device", "add", "--ip", "198.51.100.7", "--port", "8000abc"}));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Add device successfully!\n");
    for (const char* port : {"", "1999", "65536"}) {
        r = kbcfg(login({"device", "add", "--ip", "198.51.100.8", "--port", port}));
        EXPECT_EQ(r.status, 1) << port;
        EXPECT_EQ(r.err, "Legal port ranges from 2000 to 65535!\n");
    }
    r = kbcfg(login({"device", "add", "--ip", "10.0..5"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "IP address cannot have any blank field!\n");
    r = kbcfg(login({"device", "add", "--ip", "10.0.5"}));
    EXPECT_EQ(r.status, 2);  // not an address at all

    // Options may also come before the subcommand's name.
    r = kbcfg({"device", "-f", file(), "-u", "boss", "-p", "pw", "list", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto rows = nlohmann::json::parse(r.out);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]["slot"], 0);
    EXPECT_EQ(rows[0]["ip"], "198.51.100.7");
    EXPECT_EQ(rows[0]["port"], 8000);
    EXPECT_EQ(rows[0]["username"], "admin");
    EXPECT_FALSE(std::filesystem::exists(dir / "tem.bin"));
}

TEST_F(DeviceCliTest, LoginRulesApply) {
    auto r = kbcfg({"device", "list", "-f", file(), "-u", "boss", "-p", "nope"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error password!\n");
    r = kbcfg({"device", "list", "-f", file(), "-u", "op1"});  // an operator: not his page
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("administrator"));
    setenv("KBCFG_PASSWORD", "pw", 1);
    r = kbcfg({"device", "list", "-f", file(), "-u", "boss"});
    unsetenv("KBCFG_PASSWORD");
    EXPECT_EQ(r.status, 0) << r.err;
    r = kbcfg({"device", "list", "-u", "boss"});
    EXPECT_EQ(r.status, 2);
}

TEST_F(DeviceCliTest, RangeModifyAndDelete) {
    auto image = load();
    image->device(0).setInUse(1);
    image->device(0).setIp(store::packIp(192, 168, 1, 2));
    image->device(0).setPort(8000);
    save(*image);
    auto r =
        kbcfg(login({"device", "add-range", "--start", "192.168.1.1", "--end", "192.168.1.3"}));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Devices have been added successfully except some repeat!\n");
    r = kbcfg(login({"device", "add-range", "--start", "192.168.1.1", "--end", "192.168.1.3"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "devices had been all added!\n");

    r = kbcfg(login({"device", "modify", "--slot", "1", "--slot", "2", "--username", "viewer"}));
    EXPECT_EQ(r.status, 0) << r.err;
    r = kbcfg(login({"device", "modify", "--slot", "77"}));
    EXPECT_EQ(r.status, 1);
    image = load();
    EXPECT_EQ(image->device(1).userName(), "viewer");
    EXPECT_EQ(image->device(2).userName(), "viewer");
    EXPECT_EQ(image->device(0).userName(), "");

    // Without a terminal the question is answered Cancel.
    r = kbcfg(login({"device", "delete", "--slot", "1"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(load()->device(1).inUse(), 1u);
    r = kbcfg(login({"device", "delete", "--slot", "1", "--yes"}));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(load()->device(1).inUse(), 0u);
}

TEST_F(DeviceCliTest, ImportCsv) {
    std::ofstream(dir / "devices.csv") << "# address,port,user,password\n"
                                          "198.51.100.20,8000,admin,secret\n"
                                          "\n"
                                          "\"198.51.100.21\", 9000 ,viewer,\"a,b\"\n"
                                          "198.51.100.20,8000,admin,x\n"
                                          "not an address,1,2,3\n"
                                          "198.51.100.22,8000\n";
    auto r = kbcfg(login({"device", "import-csv", (dir / "devices.csv").string()}));
    EXPECT_EQ(r.status, 1);  // malformed lines
    EXPECT_THAT(r.out, HasSubstr("devices.csv:2: 198.51.100.20: Add device successfully!"));
    EXPECT_THAT(r.out, HasSubstr("devices.csv:4: 198.51.100.21: Add device successfully!"));
    EXPECT_THAT(r.err,
                HasSubstr("devices.csv:5: 198.51.100.20: The device is already in the list!"));
    EXPECT_THAT(r.err, HasSubstr("devices.csv:6: expected ip,port,username,password"));
    EXPECT_THAT(r.err, HasSubstr("devices.csv:7: expected ip,port,username,password"));
    auto image = load();
    EXPECT_EQ(image->device(1).port(), 9000);
    EXPECT_EQ(image->device(1).password(), "a,b");
    EXPECT_EQ(image->device(2).inUse(), 0u);
}

}  // namespace
}  // namespace kbcfg::testing
