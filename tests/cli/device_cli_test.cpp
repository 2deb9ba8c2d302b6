// The device commands against real files: each runs the login and the device presenters.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
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
    EXPECT_EQ(r.out, "Add device successfully!\nadded 1 device\n");
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
    const auto rows = nlohmann::json::parse(r.out)["devices"];
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]["slot"], 0);
    EXPECT_EQ(rows[0]["ip"], "198.51.100.7");
    EXPECT_EQ(rows[0]["port"], 8000);
    EXPECT_EQ(rows[0]["username"], "admin");
    EXPECT_FALSE(std::filesystem::exists(dir / "tem.bin"));
}

TEST_F(DeviceCliTest, AddressOptionsTakeTheFirstOctetsOfTheBoxes) {
    // Every file under the folder with its bytes: a refused command writes nothing.
    auto snapshot = [&] {
        std::map<std::string, std::vector<std::uint8_t>> files;
        for (const auto& e : std::filesystem::recursive_directory_iterator(dir.path()))
            files[e.path().string()] = readAll(e.path());
        return files;
    };
    const auto before = snapshot();
    const std::string kb = file(), out = (dir / "out.bin").string();
    // {option, command line with the address at the place of "@"}
    const std::pair<std::string, std::vector<std::string>> commands[] = {
        {"--ip", login({"device", "add", "--ip", "@"})},
        {"--start", login({"device", "add-range", "--start", "@", "--end", "198.51.100.9"})},
        {"--end", login({"device", "add-range", "--start", "198.51.100.1", "--end", "@"})},
        {"--ip", login({"user", "stream", "--record", "1", "--slot", "0", "--bind", "--ip", "@"})},
        {"--ip", {"keyboard", "export", "--ip", "@", "--output", out}},
        {"--ip", {"keyboard", "export", "--ip", "@", "--output", out, "--login", "-u", "boss"}},
        {"--ip", {"keyboard", "import", "--ip", "@", "--file", kb}},
        {"--ip", {"keyboard", "upgrade", "--ip", "@", "--file", kb}},
    };
    for (const auto& [option, args] : commands) {
        for (const char* address : {"0.1.2.3", "224.0.0.1", "255.1.2.3"}) {
            auto line = args;
            std::replace(line.begin(), line.end(), std::string("@"), std::string(address));
            const auto r = kbcfg(line);
            SCOPED_TRACE(line[1] + " " + address);
            EXPECT_EQ(r.status, 1);
            EXPECT_THAT(r.err, HasSubstr(option + " " + address));
            EXPECT_THAT(r.err, HasSubstr("1..223"));
        }
    }
    EXPECT_EQ(snapshot(), before);
    // A device list refuses such a line and goes on with the next.
    std::ofstream(dir / "devices.csv") << "224.0.0.1,8000,admin,x\n198.51.100.30,8000,admin,x\n";
    auto r = kbcfg(login({"device", "import-csv", (dir / "devices.csv").string()}));
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("devices.csv:1: address 224.0.0.1: the first octet"));
    EXPECT_EQ(load()->device(0).ip(), store::packIp(198, 51, 100, 30));
    EXPECT_EQ(load()->device(1).inUse(), 0u);
    // The ends of the range pass on to the dialog's own checks.
    for (const char* address : {"1.2.3.4", "223.1.2.3"})
        EXPECT_EQ(kbcfg(login({"device", "add", "--ip", address})).status, 0) << address;
}

TEST_F(DeviceCliTest, PathLimitsCountTheFullPath) {
    struct InFolder {
        std::filesystem::path before = std::filesystem::current_path();
        explicit InFolder(const std::filesystem::path& to) { std::filesystem::current_path(to); }
        ~InFolder() { std::filesystem::current_path(before); }
    };
    // Short as typed, more than 128 characters in full.
    const auto deep = dir / std::string(128 - dir.path().string().size(), 'd');
    std::filesystem::create_directory(deep);
    std::filesystem::copy_file(file(), deep / "kb.bin");
    {
        InFolder in(deep);
        const auto r = kbcfg({"device", "list", "-f", "kb.bin", "-u", "boss", "-p", "pw"});
        EXPECT_EQ(r.status, 1);
        EXPECT_THAT(r.err, HasSubstr("Filepath'length should be less than 128"));
    }
    // Long as typed, short in full.
    InFolder in(dir.path());
    std::string dots;
    for (int i = 0; i < 70; ++i) dots += "./";
    const auto r = kbcfg({"device", "list", "-f", dots + "kb.bin", "-u", "boss", "-p", "pw"});
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(DeviceCliTest, LoginRulesApply) {
    auto r = kbcfg({"device", "list", "-f", file(), "-u", "boss", "-p", "nope"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error password!\n");
    r = kbcfg({"device", "list", "-f", file(), "-u", "op1"});  // an operator: not his page
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("administrator"));
    setEnv("KBCFG_PASSWORD", "pw");
    r = kbcfg({"device", "list", "-f", file(), "-u", "boss"});
    unsetEnv("KBCFG_PASSWORD");
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
    EXPECT_EQ(r.out, "Devices have been added successfully except some repeat!\nadded 2 devices\n");
    r = kbcfg(login({"device", "add-range", "--start", "192.168.1.1", "--end", "192.168.1.3"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "devices had been all added!\n");

    r = kbcfg(login({"device", "modify", "--slot", "1", "--slot", "2", "--username", "viewer",
                     "--password", ""}));
    EXPECT_EQ(r.status, 0) << r.err;
    r = kbcfg(login({"device", "modify", "--slot", "77", "--password", ""}));
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
