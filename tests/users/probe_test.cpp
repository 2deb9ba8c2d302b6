#include "users/probe.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "support/failing_writes.h"
#include "support/fake_netsdk.h"
#include "support/fresh_config.h"
#include "users/udinfo.h"
#include "users/userdev.h"

namespace kbcfg::users {
namespace {

using store::Msg;

using store::Outcome;
using ::testing::ElementsAre;

class ProbeTest : public testing::FreshConfig {
  protected:
    void seed() override {
        for (int op = 1; op <= 3; ++op) addOperator(op, "op" + std::to_string(op));
    }

    // A device in slot `slot` at 198.51.100.<slot> that reports the given type.
    testing::FakeNetSdk::Node& device(int slot, std::uint16_t type, int channels = 0, int first = 1,
                                      int ipChannels = 0) {
        addDevice(slot, store::packIp(198, 51, 100, static_cast<std::uint8_t>(slot)))
            .setPassword("pw");
        auto& node = sdk.node("198.51.100." + std::to_string(slot));
        node.password = "pw";
        node.info.bytes[VYX_LOGIN_CHANNEL_COUNT] = static_cast<std::uint8_t>(channels);
        node.info.bytes[VYX_LOGIN_FIRST_CHANNEL] = static_cast<std::uint8_t>(first);
        node.info.bytes[VYX_LOGIN_IP_CHANNEL_COUNT] = static_cast<std::uint8_t>(ipChannels);
        node.info.bytes[VYX_LOGIN_DEVICE_TYPE] = static_cast<std::uint8_t>(type);
        node.info.bytes[VYX_LOGIN_DEVICE_TYPE + 1] = static_cast<std::uint8_t>(type >> 8);
        return node;
    }
    ProbeResult probe(int op, int slot, int checked = 2) {
        run.checked = checked;
        return probeAndAssignDevice(host, session, *image, sdk, op, slot, run, counters);
    }
    // (kind, number, index) of operator op's entries of the device, in position order.
    std::vector<std::tuple<int, int, std::uint32_t>> entries(int op, int slot) const {
        std::vector<std::tuple<int, int, std::uint32_t>> out;
        for (int pos = 0; pos < store::layout::kChannelCount; ++pos) {
            const store::ChannelEntry e = image->channel(op, pos);
            if (e.deviceSlot() == slot) out.emplace_back(e.kind(), e.number(), e.index());
        }
        return out;
    }

    kbcfg::testing::FakeNetSdk sdk;
    ChannelIndexCounter counters;
    RunCounters run;
};

TEST(DeviceTypes, TableAndFallbacks) {
    const auto& table = deviceTypeTable();
    EXPECT_EQ(table.size(), 180u);
    int rowsFor75 = 0;
    for (const auto& row : table) rowsFor75 += row.code == 75;
    EXPECT_EQ(rowsFor75, 2);
    EXPECT_EQ(classifyDeviceType(75), 1u);
    EXPECT_EQ(classifyDeviceType(141), kClassMatrix);
    EXPECT_EQ(classifyDeviceType(4), 20u);
    EXPECT_EQ(classifyDeviceType(333), 32u);
    EXPECT_EQ(classifyDeviceType(126), 39u);
    EXPECT_EQ(classifyDeviceType(135), 45u);
    EXPECT_EQ(classifyDeviceType(146), 50u);
    EXPECT_EQ(classifyDeviceType(60), 0u);
    EXPECT_EQ(classifyDeviceType(2150), 1u);
    EXPECT_EQ(classifyDeviceType(720), 20u);
    EXPECT_EQ(classifyDeviceType(5000), 0u);
    EXPECT_EQ(classifyDeviceType(0), 0u);
}

TEST(SceneRange, ReadsTheFirstElementNameFound) {
    auto r = parseSceneRange("<x><sceneNum min=\"1\" max=\"16\"/></x>");
    EXPECT_EQ(r.count, 16);
    EXPECT_EQ(r.first, 1);
    r = parseSceneRange("<SceneNum min=\"1\" max=\"1\"/>");
    EXPECT_EQ(r.count, 0);
    r = parseSceneRange("<SceneNum min=\"2\" max=\"4\"/><sceneNum min=\"5\" max=\"6\"/>");
    EXPECT_EQ(r.count, 2);  // the lowercase one is read
    EXPECT_EQ(r.first, 5);
    r = parseSceneRange("<sceneNum min=\"3\" maxi=\"9\"/>");  // stops at the mismatch: max stays 0
    EXPECT_EQ(r.count, 0);
    EXPECT_EQ(parseSceneRange("nothing").count, 0);
    EXPECT_EQ(parseSceneRange("<sceneNum min=\"-5\" max=\"99999999999\"/>").first, -5);

    // A blank in the pattern takes any run of white space, none included.
    for (const char* xml :
         {"<sceneNum\n  min=\"3\"  max=\"9\"/>", "<sceneNum  min=\"3\"\tmax=\"9\"/>",
          "<sceneNummin=\"3\"max=\"9\"/>", "<SceneNum\r\n\tmin=\"3\" max=\" 9\"/>"}) {
        r = parseSceneRange(xml);
        EXPECT_EQ(r.count, 7) << xml;
        EXPECT_EQ(r.first, 3) << xml;
    }
    EXPECT_EQ(parseSceneRange("<sceneNum min =\"3\" max=\"9\"/>").count, 0);  // literal '=' missed
}

TEST_F(ProbeTest, EncoderInputsTakeFreeIndexes) {
    device(0, 75, 16, 1);
    // Indexes 2 and 3 are used by a live input of the same operator; outputs do not count.
    device(1, 5000);
    image->channel(1, 100).setDeviceSlot(1);
    image->channel(1, 100).setIndex(2);
    image->channel(1, 101).setDeviceSlot(1);
    image->channel(1, 101).setIndex(3);
    image->channel(1, 102).setDeviceSlot(1);
    image->channel(1, 102).setKind(store::kOutputChannel);
    image->channel(1, 102).setIndex(4);
    EXPECT_EQ(probe(1, 0), ProbeResult::GoOn);
    const auto got = entries(1, 0);
    ASSERT_EQ(got.size(), 16u);
    EXPECT_EQ(got[0], std::make_tuple(0, 1, 1u));
    EXPECT_EQ(got[1], std::make_tuple(0, 2, 4u));
    EXPECT_EQ(got[15], std::make_tuple(0, 16, 18u));
    EXPECT_EQ(image->userDevice(1, 0), 0);
    EXPECT_EQ(image->stream(1, 0).deviceSlot(), 0);
    EXPECT_EQ(image->device(0).deviceType(), 75);
    EXPECT_EQ(run.success, 1);
    EXPECT_THAT(sdk.callsStartingWith("Log"),
                ElementsAre("Login 198.51.100.0:8000 admin pw", "Logout 0"));
    // Saved.
    auto saved = std::make_unique<store::ConfigImage>();
    ASSERT_EQ(store::loadImage(host, session, *saved), 0);
    EXPECT_EQ(saved->channel(1, 15).number(), 16);
}

TEST_F(ProbeTest, IpChannelsFollowTheAnalogOnes) {
    auto& node = device(0, 30, 4, 1, 1);
    std::vector<std::uint8_t> answer(VYX_IP_CHANNELS_SIZE, 0);
    answer[VYX_IP_CHANNEL_ENTRIES + 0 * VYX_IP_CHANNEL_ENTRY_SIZE] = 1;
    answer[VYX_IP_CHANNEL_ENTRIES + 5 * VYX_IP_CHANNEL_ENTRY_SIZE] = 1;
    answer[VYX_ANALOG_ENABLE] = 0;  // not consulted
    node.configs[{VYX_CMD_IP_CHANNELS, -1}] = answer;
    probe(2, 0);
    std::vector<int> numbers;
    for (const auto& e : entries(2, 0)) numbers.push_back(std::get<1>(e));
    EXPECT_THAT(numbers, ElementsAre(1, 2, 3, 4, 33, 38));
}

TEST_F(ProbeTest, DecoderOutputsScenesAndWalls) {
    auto& node = device(0, 20);
    std::vector<std::uint8_t> outputs(VYX_OUTPUTS_SIZE, 0);
    outputs[VYX_OUTPUTS_VGA] = 2;
    outputs[VYX_OUTPUTS_VGA + 1] = 1;
    outputs[VYX_OUTPUTS_HDMI] = 1;
    outputs[VYX_OUTPUTS_HDMI + 1] = 1;
    outputs[VYX_OUTPUTS_TV_WALL] = 2;
    outputs[VYX_OUTPUTS_TV_WALL + 1] = 1;
    node.abilities[VYX_ABILITY_OUTPUTS] = outputs;
    const std::string xml = "<sceneNum min=\"1\" max=\"2\"/>";
    node.abilities[VYX_ABILITY_SCENES] = std::vector<std::uint8_t>(xml.begin(), xml.end());
    probe(1, 0);
    std::vector<std::string> names;
    std::vector<std::uint32_t> indexes;
    for (int pos = 0; pos < 7; ++pos) {
        names.push_back(store::channelDisplayName(image->channel(1, pos)));
        indexes.push_back(image->channel(1, pos).index());
    }
    EXPECT_THAT(names, ElementsAre("VGA1", "VGA2", "HDMI1", "Scene 1", "Scene 2", "TV-Wall 1",
                                   "TV-Wall 2"));
    // Outputs count on their own; scenes and walls share one group.
    EXPECT_THAT(indexes, ElementsAre(1, 2, 3, 1, 2, 3, 4));
}

TEST_F(ProbeTest, MatrixDevicesGetARecord) {
    device(0, 141);
    for (int w = 0; w < 31; ++w) image->matrix(1, w).setDeviceSlot(9);
    image->matrix(1, 31).setCell(9, 0, 0, 77);
    image->matrix(1, 31).data()[store::MatrixRecord::kCells + 9 * 8 + 2] = 0xAB;
    probe(1, 0);
    const store::MatrixRecord m = image->matrix(1, 31);
    EXPECT_EQ(m.deviceSlot(), 0);
    EXPECT_EQ(m.cellRow(9), 2);
    EXPECT_EQ(m.cellColumn(9), 2);
    EXPECT_EQ(m.cellValue(9), 0u);
    EXPECT_EQ(m.data()[store::MatrixRecord::kCells + 9 * 8 + 2], 0xAB);  // left as it was
    EXPECT_EQ(image->stream(1, 0).deviceSlot(), -1);
    EXPECT_THAT(sdk.callsStartingWith("Logout"), ElementsAre("LogoutEx 0"));

    // No record left: listed without one, and saved like any assignment.
    device(1, 141);
    EXPECT_EQ(probe(1, 1), ProbeResult::GoOn);
    auto saved = std::make_unique<store::ConfigImage>();
    ASSERT_EQ(store::loadImage(host, session, *saved), 0);
    EXPECT_EQ(saved->userDevice(1, 1), 1);
    EXPECT_EQ(saved->device(1).deviceType(), 141);
    EXPECT_EQ(saved->stream(1, 1).deviceSlot(), -1);
}

TEST_F(ProbeTest, AFailedSaveEndsTheRunAsFailed) {
    const auto fileBefore = [&] { return testing::readAll(session.configPath); };
    // Every path that saves: encoder, decoder, other class, matrix with and without a record.
    struct Case {
        std::uint16_t type;
        bool matrixRecordsTaken;
    };
    for (const Case c :
         {Case{75, false}, Case{20, false}, Case{5000, false}, Case{141, false}, Case{141, true}}) {
        SCOPED_TRACE(c.type);
        image->resetOperatorDevices(2);
        image->clearOperatorTables(2);
        if (c.matrixRecordsTaken)
            for (int w = 0; w < store::layout::kMatrixCount; ++w)
                image->matrix(2, w).setDeviceSlot(9);
        save();
        device(0, c.type, 2);
        device(1, 75, 2);
        const auto before = fileBefore();
        host.clear();
        userdev dialog(host, session, *image, sdk, 2);
        dialog.refreshUserDeviceLists();
        dialog.headerClicked(false, 0);
        const Outcome outcome = [&] {
            kbcfg::testing::FailingWrites full(0);
            return dialog.assignCheckedDevices();
        }();
        EXPECT_EQ(outcome, Outcome::Refused);
        EXPECT_THAT(host.numbers(), ElementsAre(Msg::OpenConfigFailed));
        EXPECT_FALSE(dialog.showResult);
        EXPECT_EQ(dialog.counters.success, 0);
        EXPECT_EQ(fileBefore(), before);
        // The run ended at the first device: the second was never logged in to.
        EXPECT_EQ(sdk.callsStartingWith("Login 198.51.100.1:").size(), 0u);
        sdk.calls.clear();
    }
}

TEST_F(ProbeTest, LoginFailuresAndAFullList) {
    device(0, 75, 1).password = "other";
    device(1, 75, 1).reachable = false;
    probe(1, 0);
    probe(1, 1);
    EXPECT_EQ(run.passwordError, 1);
    EXPECT_EQ(run.connectError, 1);
    EXPECT_TRUE(host.shown.empty());
    probe(1, 0, 1);
    probe(1, 1, 1);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::DevicePasswordWrong, Msg::DeviceNetworkFailed));
    EXPECT_EQ(run.passwordError, 2);  // a single device's failure is told and counted
    EXPECT_EQ(run.connectError, 2);

    device(2, 75, 1);
    for (int i = 0; i < store::layout::kUserDeviceCount; ++i) image->setUserDevice(3, i, 5);
    EXPECT_EQ(probe(3, 2), ProbeResult::StopRun);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::DevicePasswordWrong, Msg::DeviceNetworkFailed,
                                            Msg::UserDeviceListFull));
    EXPECT_TRUE(entries(3, 2).empty());
}

TEST_F(ProbeTest, AFullChannelTableDropsTheRest) {
    device(0, 75, 16);
    for (int pos = 3; pos < store::layout::kChannelCount; ++pos)
        image->channel(1, pos).setDeviceSlot(7);
    probe(1, 0);
    EXPECT_EQ(entries(1, 0).size(), 3u);
}

TEST_F(ProbeTest, UnknownTypesAreListedWithoutChannels) {
    device(0, 5000, 8);
    probe(1, 0);
    EXPECT_TRUE(entries(1, 0).empty());
    EXPECT_EQ(image->userDevice(1, 0), 0);
    EXPECT_EQ(image->stream(1, 0).deviceSlot(), 0);
    EXPECT_EQ(image->device(0).deviceType(), 5000);
}

TEST_F(ProbeTest, CountersWrapAndNeverLeaveTheRange) {
    device(0, 75, 2);
    counters.next(1, IndexGroup::Inputs) = 99'999'999;
    probe(1, 0);
    const auto got = entries(1, 0);
    EXPECT_EQ(std::get<2>(got[0]), 99'999'999u);
    EXPECT_EQ(std::get<2>(got[1]), 1u);
}

TEST_F(ProbeTest, AssignRunWithResultCounts) {
    device(0, 75, 2);
    device(1, 75, 2).password = "other";
    device(2, 75, 2).reachable = false;
    userdev dialog(host, session, *image, sdk, 1);
    dialog.refreshUserDeviceLists();
    ASSERT_EQ(dialog.left.size(), 3u);
    EXPECT_EQ(dialog.assignCheckedDevices(), Outcome::Refused);  // nothing ticked
    dialog.headerClicked(false, 0);
    std::vector<std::string> progress;
    ASSERT_EQ(dialog.assignCheckedDevices([&](const userdev::RunProgress& p) {
        progress.push_back(std::to_string(p.done) + "/" + std::to_string(p.total) + " " + p.ip);
        return true;
    }),
              Outcome::Done);
    EXPECT_THAT(progress,
                ElementsAre("0/3 198.51.100.0", "1/3 198.51.100.1", "2/3 198.51.100.2", "3/3 "));
    EXPECT_TRUE(dialog.showResult);
    udinfo result(dialog.counters);
    EXPECT_EQ(result.successText(), "1");
    EXPECT_EQ(result.connectText(), "1");
    EXPECT_EQ(result.passwordText(), "1");
    ASSERT_EQ(dialog.right.size(), 1u);
    EXPECT_EQ(dialog.left.size(), 2u);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::ChooseDeviceFirst));

    // Assigned to operator 1, still offered to operator 2.
    userdev other(host, session, *image, sdk, 2);
    other.refreshUserDeviceLists();
    EXPECT_EQ(other.left.size(), 3u);
}

TEST_F(ProbeTest, RemoveTakesEverythingOfTheDevice) {
    device(0, 75, 2);
    device(1, 75, 2);
    userdev dialog(host, session, *image, sdk, 1);
    dialog.refreshUserDeviceLists();
    dialog.headerClicked(false, 0);
    dialog.assignCheckedDevices();
    const std::uint32_t otherIndex = image->channel(1, 2).index();
    image->groupRow(1, store::GroupTable::Input, 0).setSlot(0, 0);
    image->groupRow(1, store::GroupTable::Input, 0).setSlot(1, 2);
    image->matrix(1, 0).setDeviceSlot(0);
    image->channel(1, 0).setMatrixLink(1);
    host.clear();
    EXPECT_EQ(dialog.removeCheckedDevicesFromUser(), Outcome::Refused);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::ChooseDevicesToDelete));
    dialog.right[0].checked = true;
    ASSERT_EQ(dialog.removeCheckedDevicesFromUser(), Outcome::Done);
    EXPECT_TRUE(entries(1, 0).empty());
    EXPECT_EQ(image->channel(1, 2).index(), otherIndex);
    EXPECT_EQ(image->groupRow(1, store::GroupTable::Input, 0).slot(0), -1);
    EXPECT_EQ(image->groupRow(1, store::GroupTable::Input, 0).slot(1), 2);
    EXPECT_EQ(image->matrix(1, 0).deviceSlot(), -1);
    EXPECT_EQ(image->userDevice(1, 0), -1);
    ASSERT_EQ(dialog.right.size(), 1u);
    EXPECT_EQ(dialog.right[0].slot, 1);
}

TEST_F(ProbeTest, StreamNeedsInputs) {
    device(0, 75, 2);
    device(1, 20);
    userdev dialog(host, session, *image, sdk, 1);
    dialog.refreshUserDeviceLists();
    dialog.headerClicked(false, 0);
    dialog.assignCheckedDevices();
    ASSERT_EQ(dialog.right.size(), 2u);
    host.clear();
    dialog.right[1].checked = true;  // the decoder
    EXPECT_FALSE(dialog.openStreamBinding());
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::NoStreamDevice));
    dialog.headerClicked(true, 0);
    auto request = dialog.openStreamBinding();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->mode, StreamBindingMode::Batch);
    EXPECT_EQ(request->batch[0], 0);
    EXPECT_EQ(request->batch[1], -1);
    dialog.right[1].checked = false;
    request = dialog.openStreamBinding();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->mode, StreamBindingMode::Single);
    EXPECT_EQ(request->slot, 0);
}

}  // namespace
}  // namespace kbcfg::users
