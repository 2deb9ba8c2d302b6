#include <gmock/gmock.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "remote/dynamic_netsdk.h"
#include "sim_fixture.h"
#include "store/config_image.h"
#include "store/files.h"
#include "store/session.h"
#include "support/platform_files.h"
#include "support/scripted_host.h"

namespace kbcfg::remote {
namespace {

using ::testing::HasSubstr;

constexpr const char* kKeyboard = "198.51.100.2";

std::uint32_t u32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t{b[at + 3]} << 24);
}
std::string textAt(const std::vector<std::uint8_t>& b, std::size_t at, std::size_t width) {
    const char* p = reinterpret_cast<const char*>(b.data() + at);
    return std::string(p, strnlen(p, width));
}

class NetSdkSimTest : public SimTest {
  protected:
    int loginTo(const std::string& ip, const std::string& password, int port = 8000,
                const std::string& user = "admin") {
        sdk.init();
        return sdk.login(ip, port, user, password, info);
    }
    std::vector<std::uint8_t> config(int id, std::uint32_t command, int channel, std::size_t size,
                                     int* result = nullptr) {
        std::vector<std::uint8_t> buf(size, 0xEE);
        std::uint32_t returned = 0;
        const int r = sdk.getDeviceConfig(id, command, channel, buf, returned);
        if (result) *result = r;
        if (r) {
            EXPECT_EQ(returned, size);
        }
        return buf;
    }
    std::vector<std::uint8_t> ability(int id, std::uint32_t type, std::size_t size,
                                      int* result = nullptr) {
        std::vector<std::uint8_t> buf(size, 0xEE);
        const int r = sdk.getDeviceAbility(id, type, buf);
        if (result) *result = r;
        return buf;
    }
    std::filesystem::path writeFile(const std::string& name, const std::string& bytes) {
        const auto p = dir / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }

    DynamicNetSdk sdk;
    LoginInfo info;
};

TEST_F(NetSdkSimTest, DemoKeyboardHoldsAConfigurationFileTheToolAccepts) {
    useDemo();
    const int id = loginTo(kKeyboard, "12345");
    ASSERT_GE(id, 0);
    const auto path = dir / "kbCfg.bin";
    ASSERT_NE(sdk.getConfigFile(id, path), 0);
    sdk.logoutEx(id);

    kbcfg::testing::ScriptedHost host;
    store::SessionState session;
    store::setConfigPaths(session, path);
    auto image = std::make_unique<store::ConfigImage>();
    ASSERT_EQ(store::loadImage(host, session, *image), 0);
    EXPECT_EQ(image->operatorRecord(0).inUse(), 1);
    EXPECT_EQ(image->operatorRecord(0).name(), "admin");
    EXPECT_EQ(image->operatorRecord(0).password(), "");
    for (int op = 1; op <= 3; ++op) {
        EXPECT_EQ(image->operatorRecord(op).inUse(), 0);
        EXPECT_EQ(image->userDevice(op, 0), -1);
        EXPECT_TRUE(image->channel(op, 20'479).empty());
        EXPECT_EQ(image->matrix(op, 31).deviceSlot(), -1);
    }
    EXPECT_EQ(image->device(0).ip(), store::packIp(198, 51, 100, 20));
    EXPECT_EQ(image->device(0).port(), 8000);
    EXPECT_EQ(image->device(0).userName(), "admin");
    EXPECT_EQ(image->device(0).password(), "12345");
    // The device whose password changed since the file was written, and the unreachable one.
    EXPECT_EQ(image->device(8).ip(), store::packIp(198, 51, 100, 50));
    EXPECT_EQ(image->device(9).ip(), store::packIp(198, 51, 100, 51));
    // Devices only discovery knows about are not in the file.
    EXPECT_FALSE(image->deviceIpExists(store::packIp(198, 51, 100, 60)));
    EXPECT_EQ(image->findFreeDeviceSlot(), 10);
}

TEST_F(NetSdkSimTest, LoginTellsAWrongPasswordFromNoConnection) {
    useDemo();
    EXPECT_LT(loginTo(kKeyboard, "wrong"), 0);
    EXPECT_EQ(sdk.lastError(), VYX_ERR_PASSWORD);
    EXPECT_LT(loginTo(kKeyboard, "12345", 8000, "root"), 0);
    EXPECT_EQ(sdk.lastError(), VYX_ERR_PASSWORD);
    EXPECT_LT(loginTo("198.51.100.50", "12345"), 0);  // what the keyboard file holds
    EXPECT_EQ(sdk.lastError(), VYX_ERR_PASSWORD);
    for (auto [ip, port] : {std::pair{"198.51.100.51", 8000}, std::pair{"198.51.100.20", 8001},
                            std::pair{"198.51.100.99", 8000}}) {
        SCOPED_TRACE(ip);
        EXPECT_LT(loginTo(ip, "12345", port), 0);
        EXPECT_NE(sdk.lastError(), VYX_ERR_PASSWORD);
    }
    const int id = loginTo("198.51.100.50", "abc12345");
    EXPECT_GE(id, 0);
    EXPECT_EQ(sdk.lastError(), VYX_ERR_NONE);

    // No login without the library initialised; cleanup ends every login.
    sdk.cleanup();
    EXPECT_EQ(sdk.logout(id), 0);
    EXPECT_LT(sdk.login(kKeyboard, 8000, "admin", "12345", info), 0);
    EXPECT_EQ(sdk.lastError(), VYX_ERR_NOT_INITIALISED);
}

TEST_F(NetSdkSimTest, LoginAnswerCarriesChannelsAndType) {
    useDemo();
    ASSERT_GE(loginTo("198.51.100.21", "12345"), 0);
    EXPECT_EQ(info.channelCount(), 4);
    EXPECT_EQ(info.firstChannel(), 1);
    EXPECT_EQ(info.ipChannelCount(), 2);
    EXPECT_EQ(info.deviceType(), 3);
    EXPECT_EQ(info.bytes[VYX_LOGIN_CHANNEL_COUNT], 4);
    ASSERT_GE(loginTo("198.51.100.40", "12345"), 0);
    EXPECT_EQ(info.channelCount(), 0);  // the answer was zeroed for the next login
    EXPECT_EQ(info.bytes[VYX_LOGIN_DEVICE_TYPE], 141);
    EXPECT_EQ(info.bytes[VYX_LOGIN_DEVICE_TYPE + 1], 0);
}

TEST_F(NetSdkSimTest, ConfigurationAnswersAtTheirOffsets) {
    useInstallation(R"({"devices": [
        {"address": "198.51.100.21", "password": "p", "type": 3, "name": "Parking recorder",
         "analogChannels": 4, "firstChannel": 1, "ipChannels": [0, 5],
         "channelNames": {"1": "Ramp", "38": "Roof IP"}},
        {"address": "198.51.100.22", "password": "p",
         "name": "A name that is longer than thirty-two bytes"}]})");
    const int id = loginTo("198.51.100.21", "p");
    ASSERT_GE(id, 0);

    auto name = config(id, VYX_CMD_DEVICE_NAME, 0, VYX_DEVICE_NAME_SIZE);
    EXPECT_EQ(u32(name, 0), 132u);
    EXPECT_EQ(textAt(name, VYX_DEVICE_NAME, 32), "Parking recorder");
    EXPECT_EQ(textAt(config(id, VYX_CMD_CHANNEL_NAME, 1, 892), 4, 32), "Ramp");
    EXPECT_EQ(textAt(config(id, VYX_CMD_CHANNEL_NAME, 4, 892), 4, 32), "Camera 04");
    EXPECT_EQ(textAt(config(id, VYX_CMD_CHANNEL_NAME, 38, 892), 4, 32), "Roof IP");
    int r = 1;
    for (int missing : {0, 5, 34, 39}) {
        config(id, VYX_CMD_CHANNEL_NAME, missing, 892, &r);
        EXPECT_EQ(r, 0) << missing;
    }

    auto ip = config(id, VYX_CMD_IP_CHANNELS, -1, VYX_IP_CHANNELS_SIZE);
    std::vector<int> enabled;
    for (int j = 0; j < 32; ++j)
        if (ip[VYX_IP_CHANNEL_ENTRIES + VYX_IP_CHANNEL_ENTRY_SIZE * j]) enabled.push_back(j);
    EXPECT_THAT(enabled, ::testing::ElementsAre(0, 5));
    EXPECT_EQ(ip[VYX_ANALOG_ENABLE + 3], 1);
    EXPECT_EQ(ip[VYX_ANALOG_ENABLE + 4], 0);

    // A buffer too small is refused and left alone.
    auto small = config(id, VYX_CMD_IP_CHANNELS, -1, VYX_IP_CHANNELS_SIZE - 1, &r);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(sdk.lastError(), VYX_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(small[0], 0xEE);

    const int other = loginTo("198.51.100.22", "p");
    auto full = config(other, VYX_CMD_DEVICE_NAME, 0, VYX_DEVICE_NAME_SIZE);
    EXPECT_EQ(textAt(full, 4, 32), "A name that is longer than thirt");
    EXPECT_EQ(full[36], 0);
    sdk.logout(other);
    config(other, VYX_CMD_DEVICE_NAME, 0, VYX_DEVICE_NAME_SIZE, &r);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(sdk.lastError(), VYX_ERR_NOT_LOGGED_IN);
}

TEST_F(NetSdkSimTest, DecoderAbilitiesAtTheirOffsets) {
    useDemo();
    const int id = loginTo("198.51.100.30", "12345");
    ASSERT_GE(id, 0);
    int r = 0;
    auto out = ability(id, VYX_ABILITY_OUTPUTS, VYX_OUTPUTS_SIZE, &r);
    ASSERT_EQ(r, 1);
    EXPECT_EQ(out[12], 2);  // VGA
    EXPECT_EQ(out[13], 1);
    EXPECT_EQ(out[144], 4);  // BNC
    EXPECT_EQ(out[145], 1);
    EXPECT_EQ(out[276], 1);  // HDMI
    EXPECT_EQ(out[277], 1);
    EXPECT_EQ(out[408], 0);   // DVI
    EXPECT_EQ(out[1052], 2);  // TV walls
    EXPECT_EQ(out[1053], 1);
    EXPECT_EQ(out[1183], 0);

    auto xml = ability(id, VYX_ABILITY_SCENES, VYX_SCENES_SIZE, &r);
    ASSERT_EQ(r, 1);
    EXPECT_THAT(textAt(xml, 0, VYX_SCENES_SIZE), HasSubstr("<sceneNum min=\"1\" max=\"16\"/>"));
    EXPECT_EQ(xml[VYX_SCENES_SIZE - 1], 0);

    ability(id, VYX_ABILITY_SCENES, VYX_SCENES_SIZE - 1, &r);
    EXPECT_EQ(r, 0);
    ability(id, 0x999, 64, &r);
    EXPECT_EQ(r, 0);

    const int desk = loginTo("198.51.100.31", "12345");
    xml = ability(desk, VYX_ABILITY_SCENES, VYX_SCENES_SIZE);
    EXPECT_THAT(textAt(xml, 0, VYX_SCENES_SIZE), HasSubstr("<SceneNum min=\"1\" max=\"8\"/>"));
    out = ability(desk, VYX_ABILITY_OUTPUTS, VYX_OUTPUTS_SIZE);
    EXPECT_EQ(out[408], 2);
    EXPECT_EQ(out[1052], 1);
    // An encoder reports no outputs.
    const int enc = loginTo("198.51.100.20", "12345");
    out = ability(enc, VYX_ABILITY_OUTPUTS, VYX_OUTPUTS_SIZE);
    EXPECT_EQ(out[12] | out[144] | out[276] | out[408] | out[1052], 0);
}

TEST_F(NetSdkSimTest, ImportReplacesTheStoredFileForLaterExports) {
    useInstallation(R"({"keyboards": [
        {"address": "198.51.100.2", "password": "kb"},
        {"address": "198.51.100.3", "password": "kb", "refuseImport": true}]})");
    const int id = loginTo(kKeyboard, "kb");
    ASSERT_GE(id, 0);
    const auto first = dir / "first.bin";
    ASSERT_NE(sdk.getConfigFile(id, first), 0);
    auto bytes = kbcfg::testing::readAll(first);
    ASSERT_EQ(bytes.size(), store::layout::kImageSize);

    // Not a configuration file: refused, the stored one stays.
    EXPECT_EQ(sdk.setConfigFile(id, writeFile("panel.hex", ":10000000")), 0);
    EXPECT_EQ(sdk.lastError(), VYX_ERR_FILE_FORMAT);
    EXPECT_EQ(sdk.setConfigFile(id, dir / "missing.bin"), 0);

    bytes[100] ^= 0xFF;  // any change the keyboard will hand back
    kbcfg::testing::writeAll(dir / "edited.bin", bytes);
    EXPECT_NE(sdk.setConfigFile(id, dir / "edited.bin"), 0);
    ASSERT_NE(sdk.getConfigFile(id, dir / "again.bin"), 0);
    EXPECT_EQ(kbcfg::testing::readAll(dir / "again.bin"), bytes);
    EXPECT_EQ(sdk.getConfigFile(id, dir / "no-such-folder" / "x.bin"), 0);
    EXPECT_EQ(sdk.lastError(), VYX_ERR_FILE_WRITE);

    const int annex = loginTo("198.51.100.3", "kb");
    EXPECT_EQ(sdk.setConfigFile(annex, dir / "edited.bin"), 0);
}

// What a fleet apply meets: an accepted file is kept (with a state folder, across a reload too),
// an import may be answered but not kept, and the rollback (the fetched file) may be refused.
TEST_F(NetSdkSimTest, KeyboardsKeepForgetOrRefuseRollbacksAcrossProcesses) {
    const auto exported = [&](int id) {
        EXPECT_NE(sdk.getConfigFile(id, dir / "out.bin"), 0);
        return kbcfg::testing::readAll(dir / "out.bin");
    };
    const auto file = [&](const char* name, const std::vector<std::uint8_t>& bytes) {
        kbcfg::testing::writeAll(dir / name, bytes);
        return dir / name;
    };
    useInstallation(R"({"keyboards": [{"address": "198.51.100.2"}]})");
    const auto original = exported(loginTo(kKeyboard, ""));
    auto edited = original;
    edited[100] ^= 0xFF;
    const std::tuple<const char*, bool, bool> cases[] = {
        {"", true, true},
        {R"(, "forgetImport": true)", false, true},
        {R"(, "refuseRollback": true)", true, false},
        {R"(, "forgetImport": true, "refuseRollback": true)", false, false}};
    for (int run = 0; run < 8; ++run) {
        const auto& [switches, keeps, rollbackAccepted] = cases[run % 4];
        SCOPED_TRACE(std::string(switches) + (run >= 4 ? " with a state folder" : ""));
        const std::string state = platform::utf8(dir / std::to_string(run));
        ScopedEnv env("VYXSIM_STATE", run >= 4 ? state.c_str() : nullptr);
        const std::string site =
            std::string(R"({"keyboards": [{"address": "198.51.100.2")") + switches + "}]}";
        useInstallation(site, std::to_string(run) + ".json");
        int id = loginTo(kKeyboard, "");
        ASSERT_NE(sdk.setConfigFile(id, file("edited.bin", edited)), 0);
        EXPECT_EQ(exported(id), keeps ? edited : original);
        EXPECT_EQ(sdk.setConfigFile(id, file("original.bin", original)) != 0, rollbackAccepted);
        const auto held = keeps && !rollbackAccepted ? edited : original;
        EXPECT_EQ(exported(id), held);
        useInstallation(site, "reloaded.json");
        id = loginTo(kKeyboard, "");
        EXPECT_EQ(exported(id), run >= 4 ? held : original);
        EXPECT_NE(sdk.setConfigFile(id, file("edited.bin", edited)), 0);  // not the previous one
    }
    // A link in place of the state file fails the export; no keyboard takes a file that large.
    ScopedEnv env("VYXSIM_STATE", (dir / "4").c_str());
    const int id = loginTo(kKeyboard, "");
    edited.resize(1'778'177);
    EXPECT_EQ(sdk.setConfigFile(id, file("large.bin", edited)), 0);
    std::filesystem::remove(dir / "4" / "198.51.100.2_8000.bin");
    KBCFG_LINK_OR_SKIP(dir / "edited.bin", dir / "4" / "198.51.100.2_8000.bin");
    EXPECT_EQ(sdk.getConfigFile(id, dir / "out.bin"), 0);
}

TEST_F(NetSdkSimTest, FirmwareUpgradeCountsUpToItsEndState) {
    useDemo();
    const int id = loginTo(kKeyboard, "12345");
    const int h = sdk.upgrade(id, writeFile("morvial.dav", "firmware bytes"));
    ASSERT_GE(h, 0);
    EXPECT_EQ(sdk.getUpgradeProgress(h), 0);
    std::vector<int> states, progress;
    for (int i = 0; i < 9; ++i) {
        states.push_back(sdk.getUpgradeState(h));
        progress.push_back(sdk.getUpgradeProgress(h));
        int step = -1;
        EXPECT_NE(sdk.getUpgradeStep(h, step), 0);
    }
    EXPECT_THAT(states, ::testing::ElementsAre(2, 2, 2, 2, 2, 2, 2, 1, 1));
    EXPECT_THAT(progress, ::testing::ElementsAre(12, 25, 37, 50, 62, 75, 87, 100, 100));
    EXPECT_NE(sdk.closeUpgradeHandle(h), 0);
    EXPECT_EQ(sdk.getUpgradeState(h), -1);
    EXPECT_EQ(sdk.upgrade(id, dir / "missing.dav"), -1);
    EXPECT_EQ(sdk.upgrade(id, writeFile("empty.dav", "")), -1);
}

TEST_F(NetSdkSimTest, PanelUpgradeReportsStepsAndCanBeRefused) {
    useDemo();
    const int id = loginTo(kKeyboard, "12345");
    std::uint32_t value = 0;
    EXPECT_NE(sdk.getEncryptState(id, 1, value), 0);
    const int h = sdk.upgrade(id, writeFile("panel.hex", ":1000000000"));
    std::vector<int> steps;
    int state = 2;
    while (state == 2) {
        state = sdk.getUpgradeState(h);
        steps.push_back(sdk.getUpgradeProgress(h));
    }
    EXPECT_EQ(state, 1);
    EXPECT_THAT(steps, ::testing::ElementsAre(10, 10, 20, 20, 30, 30, 40, 40));

    const int annex = loginTo("198.51.100.3", "12345");
    EXPECT_EQ(sdk.getEncryptState(annex, 1, value), 0);
    const int h2 = sdk.upgrade(annex, writeFile("fw.dav", "x"));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(sdk.getUpgradeState(h2), 2);
    EXPECT_EQ(sdk.getUpgradeState(h2), 5);  // language mismatch

    // Devices are not keyboards.
    const int dev = loginTo("198.51.100.20", "12345");
    EXPECT_LT(sdk.upgrade(dev, dir / "fw.dav"), 0);
    EXPECT_EQ(sdk.getConfigFile(dev, dir / "x.bin"), 0);
    EXPECT_EQ(sdk.getEncryptState(dev, 1, value), 0);
}

TEST_F(NetSdkSimTest, UnusableDescriptionGivesAClearErrorAndAnEmptyInstallation) {
    KBCFG_FIFO_OR_SKIP(dir / "fifo");
    std::filesystem::create_directory(dir / "folder");
    kbcfg::testing::writeAll(dir / "large.bin", std::vector<std::uint8_t>(1'778'177, 1));
    const std::pair<const char*, const char*> cases[] = {
        {"{ not json", "parse error"},
        {R"({"keyboards": [{"address": "198.51.100.2", "pasword": "x"}]})",
         "keyboards[0]: unknown key \"pasword\""},
        {R"({"devices": [{"address": "198.51.100.256"}]})", "is not an IPv4 address"},
        {R"({"devices": [{"address": "198.51.100.9", "port": "8000"}]})",
         "devices[0].port: must be a whole number"},
        {R"({"devices": [{"address": "198.51.100.9"}, {"address": "198.51.100.9"}]})",
         "described twice"},
        {R"({"keyboards": [{"address": "198.51.100.2", "configFile": "absent.bin"}]})",
         "cannot read"},
        {R"({"keyboards": [{"address": "198.51.100.2", "configFile": "fifo"}]})",
         "fifo\": not a regular file"},
        {R"({"keyboards": [{"address": "198.51.100.2", "configFile": "/dev/zero"}]})",
         "not a regular file"},
        {R"({"keyboards": [{"address": "198.51.100.2", "configFile": "folder"}]})",
         "not a regular file"},
        {R"({"keyboards": [{"address": "198.51.100.2", "configFile": "large.bin"}]})",
         "larger than 1778176 bytes"},
        {R"({"devices": [{"address": "198.51.100.9", "ipChannels": [32]}]})", "0..31"},
        {R"([1, 2])", "must be an object"},
        {R"({"latencyMs": -1})", "installation.latencyMs: must lie in 0..600000"},
        {R"({"keyboards": [{"address": "198.51.100.2", "timeoutMs": 600001}]})",
         "keyboards[0].timeoutMs: must lie in"},
    };
    int n = 0;
    for (const auto& [json, why] : cases) {
        SCOPED_TRACE(json);
        useInstallation(json, "broken" + std::to_string(n++) + ".json");
        ::testing::internal::CaptureStderr();
        sdk.init();
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_THAT(err, HasSubstr("vyxsim: "));
        EXPECT_THAT(err, HasSubstr(why));
        EXPECT_THAT(err, HasSubstr("the simulated installation is empty"));
        EXPECT_LT(sdk.login(kKeyboard, 8000, "admin", "", info), 0);
        EXPECT_EQ(sdk.lastError(), VYX_ERR_NETWORK);
    }
    // Said once per description, not once per call.
    ::testing::internal::CaptureStderr();
    sdk.init();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST_F(NetSdkSimTest, ConfigFileNamedInTheDescriptionIsHandedOut) {
    kbcfg::testing::writeAll(dir / "stored.bin", {1, 2, 3, 4, 5});
    useInstallation(R"({"keyboards": [{"address": "198.51.100.2", "configFile": "stored.bin"}]})");
    const int id = loginTo(kKeyboard, "");
    ASSERT_NE(sdk.getConfigFile(id, dir / "out.bin"), 0);
    EXPECT_EQ(kbcfg::testing::readAll(dir / "out.bin"), (std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
}

// A FIFO would block the library, a device would fill the memory: only regular files are read.
TEST_F(NetSdkSimTest, OnlyRegularFilesAreRead) {
    const auto fifo = dir / "fifo";
    KBCFG_FIFO_OR_SKIP(fifo);
    constexpr std::size_t kLargest = 1'778'176;  // the largest layout
    kbcfg::testing::writeAll(dir / "largest.bin", std::vector<std::uint8_t>(kLargest, 7));
    {
        ScopedEnv fifoDescription("VYXSIM_INSTALLATION", fifo);
        ::testing::internal::CaptureStderr();
        sdk.init();
        EXPECT_THAT(::testing::internal::GetCapturedStderr(), HasSubstr("not a regular file"));
    }

    // A file of the largest layout is handed out whole.
    useInstallation(R"({"keyboards": [{"address": "198.51.100.2", "configFile": "largest.bin"}]})");
    const int id = loginTo(kKeyboard, "");
    ASSERT_GE(id, 0);
    ASSERT_NE(sdk.getConfigFile(id, dir / "out.bin"), 0);
    EXPECT_EQ(std::filesystem::file_size(dir / "out.bin"), kLargest);
    // Files sent to a keyboard are read the same way.
    for (const auto& path : {fifo, std::filesystem::path("/dev/zero")}) {
        EXPECT_EQ(sdk.setConfigFile(id, path), 0);
        EXPECT_EQ(sdk.lastError(), VYX_ERR_FILE_OPEN);
    }
}

TEST(NetSdkLoader, MissingLibraryFailsEveryCallAndSaysSoOnce) {
    kbcfg::testing::TempDir empty;
    std::vector<std::string> notices;
    DynamicNetSdk sdk([&](const std::string& s) { notices.push_back(s); }, empty.path());
    LoginInfo info;
    info.bytes[0] = 9;
    EXPECT_EQ(sdk.init(), 0);
    EXPECT_LT(sdk.login("198.51.100.2", 8000, "admin", "", info), 0);
    EXPECT_EQ(info.bytes[0], 0);
    EXPECT_EQ(sdk.lastError(), kLibraryMissing);
    EXPECT_NE(sdk.lastError(), VYX_ERR_PASSWORD);
    std::uint32_t returned = 0;
    std::vector<std::uint8_t> buf(132);
    EXPECT_EQ(sdk.getDeviceConfig(0, 100, 0, buf, returned), 0);
    EXPECT_LT(sdk.upgrade(0, "x"), 0);
    EXPECT_EQ(sdk.getUpgradeState(0), -1);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_THAT(notices[0], HasSubstr(kNetSdkFile));
    EXPECT_THAT(notices[0], HasSubstr(platform::utf8(empty.path())));
    EXPECT_EQ(sdk.problem(), notices[0]);
}

TEST(NetSdkLoader, LibraryWithoutTheFunctionsCountsAsMissing) {
    kbcfg::testing::TempDir folder;
    // A real shared library of another name: it loads, but has none of the functions.
    std::filesystem::copy_file(libraryFolder() / kVorpFile, folder / kNetSdkFile);
    std::vector<std::string> notices;
    DynamicNetSdk sdk([&](const std::string& s) { notices.push_back(s); }, folder.path());
    EXPECT_LT(sdk.login("198.51.100.2", 8000, "admin", "", *std::make_unique<LoginInfo>()), 0);
    EXPECT_EQ(sdk.lastError(), kLibraryMissing);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_THAT(notices[0], HasSubstr("lacks VYX_Init, VYX_Cleanup, VYX_Login"));
}

TEST(NetSdkLoader, FolderComesFromTheEnvironmentFirst) {
    {
#ifdef _WIN32
        const char* site = "C:\\opt\\site\\lib";  // "/opt/..." lacks a drive there
#else
        const char* site = "/opt/site/lib";
#endif
        ScopedEnv env("KBCFG_LIBDIR", site);
        EXPECT_EQ(libraryFolder(), std::filesystem::path(site));
    }
    ScopedEnv unset("KBCFG_LIBDIR", nullptr);
    EXPECT_TRUE(std::filesystem::exists(libraryFolder() / kNetSdkFile)) << libraryFolder();
}

using Clock = std::chrono::steady_clock;

long long msSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Slack for a loaded machine above the time a call is meant to take.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr long long kSlackMs = 500;
#else
constexpr long long kSlackMs = 150;
#endif

TEST_F(NetSdkSimTest, EachCallTakesTheLatencyOfItsNodeOrOfTheInstallation) {
    useInstallation(R"({"latencyMs": 40, "loginMs": 90, "timeoutMs": 120,
        "keyboards": [{"address": "198.51.100.2", "password": "k"},
                      {"address": "198.51.100.3", "password": "k", "latencyMs": 0, "loginMs": 0},
                      {"address": "198.51.100.4", "reachable": false}],
        "devices": [{"address": "198.51.100.20", "password": "p", "latencyMs": 10,
                     "loginMs": 70, "analogChannels": 1},
                    {"address": "198.51.100.21", "reachable": false, "timeoutMs": 200}]})");
    struct Case {
        const char* ip;
        const char* password;
        long long loginMs, callMs;
        int error;
    };
    const Case cases[] = {
        {"198.51.100.2", "k", 90, 40, VYX_ERR_NONE},
        {"198.51.100.2", "wrong", 90, 0, VYX_ERR_PASSWORD},  // a refusal takes the login's time
        {"198.51.100.3", "k", 0, 0, VYX_ERR_NONE},
        {"198.51.100.4", "k", 120, 0, VYX_ERR_NETWORK},  // switched off: the timeout
        {"198.51.100.20", "p", 70, 10, VYX_ERR_NONE},
        {"198.51.100.21", "p", 200, 0, VYX_ERR_NETWORK},
        {"198.51.100.99", "p", 0, 0, VYX_ERR_NETWORK},  // nobody there: refused at once
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ip + std::string(" ") + c.password);
        sdk.init();  // loads the library and the description the first time: not timed
        auto start = Clock::now();
        const int id = loginTo(c.ip, c.password);
        const long long took = msSince(start);
        EXPECT_EQ(sdk.lastError(), c.error);
        EXPECT_GE(took, c.loginMs);
        EXPECT_LT(took, c.loginMs + kSlackMs);
        if (id < 0) continue;
        std::uint32_t returned = 0;
        std::vector<std::uint8_t> buf(VYX_DEVICE_NAME_SIZE);
        start = Clock::now();
        EXPECT_NE(sdk.getDeviceConfig(id, VYX_CMD_DEVICE_NAME, 0, buf, returned), 0);
        EXPECT_NE(sdk.logoutEx(id), 0);
        EXPECT_GE(msSince(start), 2 * c.callMs);
        EXPECT_LT(msSince(start), 2 * c.callMs + kSlackMs);
    }
    // Without a login time of its own anywhere, a login takes as long as any other call.
    useInstallation(R"({"devices": [{"address": "198.51.100.20", "latencyMs": 60}]})", "b.json");
    const auto start = Clock::now();
    EXPECT_GE(loginTo("198.51.100.20", ""), 0);
    EXPECT_GE(msSince(start), 60);
}

// Every worker its own library handle and login, as the parallel network work uses them. Run
// under ThreadSanitizer by make check-tsan.
TEST_F(NetSdkSimTest, CallsOnDifferentLoginsOverlapAndKeepTheirOwnErrors) {
    constexpr int kKeyboards = 8;
    std::string keyboards;
    for (int i = 0; i < kKeyboards; ++i)
        keyboards += (i ? "," : "") + std::string(R"({"address": "198.51.100.)") +
                     std::to_string(10 + i) + R"(", "password": "k", "upgrade": {"ticks": 2}})";
    useInstallation(R"({"latencyMs": 40, "loginMs": 150, "timeoutMs": 150, "keyboards": [)" +
                    keyboards + R"(, {"address": "198.51.100.9", "reachable": false}]})");
    const auto package = writeFile("fw.dav", "firmware");
    std::atomic<int> done{0}, wrongErrors{0};

    auto worker = [&](int i) {
        DynamicNetSdk own;
        LoginInfo answer;
        const std::string ip = "198.51.100." + std::to_string(10 + i);
        own.init();
        // A refused login and one that times out, on this thread, between the others' calls.
        if (own.login(ip, 8000, "admin", "nope", answer) >= 0 ||
            own.lastError() != VYX_ERR_PASSWORD)
            ++wrongErrors;
        if (own.login("198.51.100.9", 8000, "admin", "k", answer) >= 0 ||
            own.lastError() != VYX_ERR_NETWORK)
            ++wrongErrors;
        const int id = own.login(ip, 8000, "admin", "k", answer);
        if (id < 0) return;
        const auto file = dir / ("kb" + std::to_string(i) + ".bin");
        if (!own.getConfigFile(id, file) || !own.setConfigFile(id, file)) return;
        const int h = own.upgrade(id, package);
        int state = 2;
        while (h >= 0 && state == 2) {
            own.init();  // initialising again while others work changes nothing for them
            state = own.getUpgradeState(h);
            own.getUpgradeProgress(h);
        }
        own.closeUpgradeHandle(h);
        if (state == 1 && own.logoutEx(id)) ++done;
    };
    const auto start = Clock::now();
    std::vector<std::thread> threads;
    for (int i = 0; i < kKeyboards; ++i) threads.emplace_back(worker, i);
    for (auto& t : threads) t.join();
    const long long took = msSince(start);

    EXPECT_EQ(done, kKeyboards);
    EXPECT_EQ(wrongErrors, 0);
    // One worker's calls: 3 logins of 150 ms and 9 calls of 40 ms, about 0.8 s; one after
    // another the eight would take 6.7 s.
    EXPECT_LT(took, 6700 / 2) << "the calls did not overlap";
    for (int i = 0; i < kKeyboards; ++i)
        EXPECT_EQ(std::filesystem::file_size(dir / ("kb" + std::to_string(i) + ".bin")),
                  store::layout::kImageSize);
}

}  // namespace
}  // namespace kbcfg::remote
