#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "channels/channel_report.h"
#include "channels/userchan.h"
#include "support/fake_netsdk.h"
#include "support/fresh_config.h"
#include "support/platform_files.h"

namespace kbcfg::channels {
namespace {

using store::Msg;

using store::Outcome;
using ::testing::ElementsAre;

std::string sp(int n) {
    return std::string(static_cast<std::size_t>(n), ' ');
}
const std::string kRuleA = "\t" + std::string(94, '-') + "\r\n";
const std::string kRuleB = "\t" + std::string(84, '-') + "\r\n";

// The three headings built from their counted blanks.
const std::string kHeading1 = "\tChannel Index" + sp(2) + "Channel Name" + sp(7) + "Device Name" +
                              sp(5) + "Channel NO." + sp(5) + "Device IP" + sp(8) +
                              "Device Port\r\n";
const std::string kHeading2 = "\tChannel Index" + sp(2) + "Channel NO." + sp(5) + "Device Name" +
                              sp(11) + "Device IP" + sp(10) + "Device Port\r\n";
const std::string kHeading3 = "\tChannel Index" + sp(2) + "Channel NO." + sp(5) + "Device Name" +
                              sp(12) + "Device IP" + sp(10) + "Device Port\r\n";

std::string pad(const std::string& s, std::size_t width) {
    return s.size() >= width ? s : s + sp(static_cast<int>(width - s.size()));
}

// The report of op1 around the given section bodies.
std::string reportText(const std::string& inputs, const std::string& outputs,
                       const std::string& walls) {
    return "\tUser op1's input channels' information\r\n\r\n" + kHeading1 + kRuleA + inputs +
           "\r\n\r\n\r\n" + "\tUser op1's output channels' information\r\n\r\n" + kHeading2 +
           kRuleB + outputs + "\r\n\r\n\r\n" + "\tUser op1's TV-Wall/Scenes' information\r\n\r\n" +
           kHeading3 + kRuleB + walls;
}

// A line of the output or the wall/scene section, of a device at port 8000.
std::string namedLine(const std::string& index, const std::string& name, const std::string& device,
                      const std::string& ip) {
    return "\t" + pad(index, 6) + sp(9) + pad(name, 10) + sp(6) + pad(device, 17) + sp(5) +
           pad(ip, 16) + sp(4) + "8000\r\n" + kRuleB;
}

class ReportTest : public testing::FreshConfig {
  protected:
    void seed() override { addOperator(1, "op1"); }
    testing::FakeNetSdk::Node& device(int slot, const std::string& name) {
        addDevice(slot, store::packIp(198, 51, 100, static_cast<std::uint8_t>(slot)));
        auto& node = sdk.node("198.51.100." + std::to_string(slot));
        std::vector<std::uint8_t> answer(VYX_DEVICE_NAME_SIZE, 0);
        std::copy(name.begin(), name.end(), answer.begin() + 4);
        for (int ch = 0; ch < 300; ++ch) node.configs[{VYX_CMD_DEVICE_NAME, ch}] = answer;
        return node;
    }
    void channelName(testing::FakeNetSdk::Node& node, int number, const std::string& name) {
        std::vector<std::uint8_t> answer(VYX_CHANNEL_NAME_SIZE, 0);
        std::copy(name.begin(), name.begin() + std::min<std::size_t>(name.size(), 40),
                  answer.begin() + 4);
        node.configs[{VYX_CMD_CHANNEL_NAME, number}] = answer;
    }
    void entry(int pos, std::uint32_t index, std::uint8_t kind, int number, int slot,
               std::uint8_t port = 0, std::uint8_t first = 0) {
        store::ChannelEntry e = image->channel(1, pos);
        e.setDeviceSlot(static_cast<std::int16_t>(slot));
        e.setIndex(index);
        e.setKind(kind);
        e.setNumber(static_cast<std::uint16_t>(number));
        e.setOutputPort(port);
        e.setPortFirst(first);
    }
    std::string report(const std::string& user = "op1") {
        userchan page(host, session, *image);
        page.userNameField = user;
        last = page.writeChannelReport(sdk);
        const auto b = kbcfg::testing::readAll(dir / (user + ".txt"));
        return std::string(b.begin(), b.end());
    }
    kbcfg::testing::FakeNetSdk sdk;
    Outcome last = Outcome::Refused;
};

TEST_F(ReportTest, AnOperatorWithoutChannels) {
    // A link planted at the report's name is replaced by the report, never written through.
    kbcfg::testing::writeAll(dir / "victim", {7});
    KBCFG_LINK_OR_SKIP("victim", dir / "op1.txt");
    EXPECT_EQ(report(), reportText("", "", ""));
    EXPECT_EQ(last, Outcome::Done);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::ChannelReportSaved));
    EXPECT_THAT(sdk.calls, ElementsAre("Init", "Cleanup"));
    EXPECT_FALSE(kbcfg::testing::isLink(dir / "op1.txt"));
    EXPECT_EQ(kbcfg::testing::readAll(dir / "victim"), std::vector<std::uint8_t>{7});
}

TEST_F(ReportTest, LinesPadButNeverCut) {
    auto& cam = device(3, std::string(32, 'D'));  // a full 32-byte name
    channelName(cam, 1, std::string(40, 'C'));    // longer in the answer: cut at 32 bytes
    channelName(cam, 2, "Gate");
    device(4, "decoder");
    entry(0, 1234567, store::kInputChannel, 1, 3);
    entry(1, 7, store::kInputChannel, 2, 3);
    entry(2, 12, store::kOutputChannel, 10, 4, store::kBnc, 9);
    entry(3, 13, store::kOutputChannel, 3, 4, 7, 1);  // an unknown interface: the bare number
    entry(4, 1, store::kScene, 5, 4);
    entry(5, 2, store::kTvWall, 1, 4);
    const std::string text = report();
    const std::string ip3 = "198.51.100.3", ip4 = "198.51.100.4";
    const std::string inputs = "\t1234567" + sp(9) + std::string(32, 'C') + sp(3) +
                               std::string(32, 'D') + sp(2) + "1  " + sp(11) + pad(ip3, 16) +
                               sp(2) + "8000\r\n" + kRuleA + "\t7     " + sp(9) + pad("Gate", 16) +
                               sp(3) + std::string(32, 'D') + sp(2) + "2  " + sp(11) +
                               pad(ip3, 16) + sp(2) + "8000\r\n" + kRuleA;
    auto line23 = [&](const std::string& index, const std::string& name) {
        return namedLine(index, name, "decoder", ip4);
    };
    EXPECT_EQ(text, reportText(inputs, line23("12", "BNC 2") + line23("13", "3"),
                               line23("1", "Scene 5") + line23("2", "TV-Wall 1")));
    EXPECT_EQ(sdk.callsStartingWith("GetDeviceConfig 200").size(), 2u);
    EXPECT_EQ(sdk.callsStartingWith("Login").size(), 2u);  // one login per device
}

TEST_F(ReportTest, LoginFailuresSkipAChannelOrEndASection) {
    device(3, "cam").reachable = false;
    device(4, "dec").reachable = false;
    device(5, "dec2");
    entry(0, 1, store::kInputChannel, 1, 3);
    entry(1, 2, store::kOutputChannel, 1, 4, store::kVga, 1);
    entry(2, 3, store::kOutputChannel, 1, 5, store::kVga, 1);  // not reported: the section ended
    entry(3, 4, store::kScene, 1, 5);
    entry(4, 5, store::kScene, 2, 3);  // ends the section; device 3 is not asked again
    const std::string text = report();
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::ErrorConnectLabel, Msg::ErrorConnectLabel,
                                            Msg::ChannelReportSaved));
    EXPECT_EQ(host.shown.at(0).text,
              "Error Connect:\n198.51.100.3:8000 (slot 3): 2 channels left out");
    EXPECT_EQ(text.find("dec2    "), text.rfind("dec2    "));  // only the scene line
    EXPECT_NE(text.find("Scene 1"), std::string::npos);
    EXPECT_EQ(sdk.callsStartingWith("Login").size(), 3u);
}

TEST_F(ReportTest, OperatorLookupAndUnsafeNames) {
    report("");
    report("admin");
    report("nobody");
    EXPECT_THAT(host.numbers(),
                ElementsAre(Msg::EnterUserNameFirst, Msg::ErrorUser, Msg::UserNotFound));
    EXPECT_TRUE(sdk.calls.empty());

    image->operatorRecord(2).setInUse(1);
    image->operatorRecord(2).setName("..");
    host.clear();
    userchan page(host, session, *image);
    page.userNameField = "..";
    EXPECT_EQ(page.writeChannelReport(sdk), Outcome::Refused);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::ChannelReportCreateFailed));

    // A folder that cannot take the file.
    host.clear();
    session.configFolder = dir.path() / "missing" / "";
    EXPECT_EQ(report(), "");
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::ChannelReportCreateFailed));
    EXPECT_TRUE(sdk.calls.empty());

    // A logged-in operator reports on himself, named after his record.
    session = {};
    store::setConfigPaths(session, dir / "kbCfg.bin");
    session.loggedInUser = 1;
    session.currentUserName = "op1";
    host.clear();
    userchan mine(host, session, *image);
    EXPECT_EQ(mine.writeChannelReport(sdk), Outcome::Done);
    EXPECT_EQ(mine.reportPath, dir.path() / "op1.txt");
}

// The text from the content alone: a line lands in its own section, named by its interface or
// kind, and an index past 2^31 shows as the file's signed value.
TEST(ReportFormat, OutputAndWallLinesAreNamedByInterfaceOrKind) {
    using S = ReportContent;
    struct Case {
        S::Section section;
        std::int32_t index;
        std::uint8_t kind;
        int number, outputPort, portFirst;
        std::string shownIndex, name;
    };
    for (const Case& c :
         {Case{S::kOutputs, INT32_MIN, 0, 5, store::kVga, 3, "-2147483648", "VGA 3"},
          Case{S::kOutputs, 4, 0, 12, store::kDvi, 9, "4", "DVI 4"},
          Case{S::kOutputs, 6, 0, 1, store::kHdmi, 1, "6", "HDMI 1"},
          Case{S::kWallsAndScenes, 9, store::kTvWall, 3, 0, 0, "9", "TV-Wall 3"}}) {
        S content{"op1", {}};
        content.sections[c.section].push_back({c.index, c.kind, c.number, c.outputPort, c.portFirst,
                                               "", "decoder", "10.0.0.4", 8000});
        const std::string line = namedLine(c.shownIndex, c.name, "decoder", "10.0.0.4");
        EXPECT_EQ(formatChannelReport(content),
                  c.section == S::kOutputs ? reportText("", line, "") : reportText("", "", line))
            << c.name;
    }
}

}  // namespace
}  // namespace kbcfg::channels
