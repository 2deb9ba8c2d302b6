#include "devices/vorpdev.h"

#include <gmock/gmock.h>

#include "devices/devadd.h"
#include "support/fake_netsdk.h"
#include "support/fresh_config.h"

namespace kbcfg::devices {
namespace {

using store::Msg;

using kbcfg::testing::FakeDiscovery;
using kbcfg::testing::FoundRecordBuilder;
using store::Ipv4Fields;
using store::Outcome;
using store::packIp;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class VorpdevTest : public testing::FreshConfig {
  protected:
    void SetUp() override {
        FreshConfig::SetUp();
        dialog->trace = [this](const std::string& line) { traces.push_back(line); };
        dialog->observer = [this](vorpdev::Change c, std::size_t row) {
            changes.emplace_back(c, row);
        };
    }

    // A report through the library callback and the post to the UI thread.
    void report(const FoundRecordBuilder& record) {
        ASSERT_TRUE(discovery.deliver(record.bytes));
        host.runPosted();
    }
    void report(int event, const std::string& serial, const std::string& ip = "198.51.100.7",
                std::uint32_t port = 8000) {
        report(FoundRecordBuilder::device(event, serial, ip, port));
    }
    std::vector<std::string> column(int c) const {
        std::vector<std::string> out;
        for (const auto& r : dialog->rows) out.push_back(r[c]);
        return out;
    }

    FakeDiscovery discovery;
    int pageRefresh = 0;
    std::unique_ptr<vorpdev> dialog = std::make_unique<vorpdev>(host, discovery, &pageRefresh);
    std::vector<std::string> traces;
    std::vector<std::pair<vorpdev::Change, std::size_t>> changes;
};

TEST_F(VorpdevTest, AddFillsEveryColumnAndRepeatedSerialGetsSecondRow) {
    dialog->shown();
    ASSERT_TRUE(dialog->started);
    auto rec = FoundRecordBuilder::device(VORP_EVENT_ADD, "SER-1", "203.0.113.5", 37777);
    rec.text(VORP_FOUND_DESCRIPTION, "Cam\xE9ra").u32(VORP_FOUND_CHANNELS, 16);
    report(rec);
    ASSERT_EQ(dialog->rows.size(), 1u);
    EXPECT_THAT(dialog->rows[0].columns, ElementsAre("001", "Cam\xC3\xA9ra", "203.0.113.5", "37777",
                                                     "SER-1", "255.255.255.0", "00:00:5e:00:53:07",
                                                     "16", "V1.0", "D1.0", "2024-01-01 00:00:00"));
    EXPECT_THAT(traces, IsEmpty());

    report(VORP_EVENT_BACK_ONLINE, "SER-1");  // code 4 adds like code 1
    EXPECT_THAT(column(FoundRow::kSerial), ElementsAre("SER-1", "SER-1"));
    EXPECT_THAT(column(FoundRow::kNumber), ElementsAre("001", "002"));
    EXPECT_THAT(traces, ElementsAre("worng 003(重复插入了!!!)\n"));
    EXPECT_EQ(changes[0], std::make_pair(vorpdev::Change::AboutToInsert, std::size_t{0}));
    EXPECT_EQ(changes[1], std::make_pair(vorpdev::Change::Inserted, std::size_t{0}));
}

TEST_F(VorpdevTest, ChannelCountReadsAsASignedNumber) {
    dialog->shown();
    const std::pair<std::uint32_t, const char*> cases[] = {
        {0, "0"}, {0x7FFFFFFF, "2147483647"}, {0x80000000, "-2147483648"}, {0xFFFFFFFF, "-1"}};
    for (const auto& [count, shown] : cases) {
        report(FoundRecordBuilder::device(VORP_EVENT_ADD, "A").u32(VORP_FOUND_CHANNELS, count));
        EXPECT_EQ(dialog->rows.back()[FoundRow::kChannels], shown);
    }
}

TEST_F(VorpdevTest, UpdateRewritesSomeColumnsOfTheFirstMatchOnly) {
    dialog->shown();
    report(VORP_EVENT_ADD, "A");
    report(VORP_EVENT_ADD, "B");
    auto upd = FoundRecordBuilder::device(VORP_EVENT_UPDATE, "B", "203.0.113.9", 9000);
    upd.text(VORP_FOUND_SOFTWARE, "V2.0")
        .text(VORP_FOUND_DSP, "D9.9")
        .text(VORP_FOUND_START_TIME, "later")
        .text(VORP_FOUND_MASK, "255.255.0.0")
        .u32(VORP_FOUND_CHANNELS, 99);
    report(upd);
    const FoundRow& b = dialog->rows[1];
    EXPECT_EQ(b[FoundRow::kIp], "203.0.113.9");
    EXPECT_EQ(b[FoundRow::kPort], "9000");
    EXPECT_EQ(b[FoundRow::kMask], "255.255.0.0");
    EXPECT_EQ(b[FoundRow::kSoftwareVersion], "V2.0");
    // Channels, DSP version and start time keep the first report's values.
    EXPECT_EQ(b[FoundRow::kChannels], "4");
    EXPECT_EQ(b[FoundRow::kDspVersion], "D1.0");
    EXPECT_EQ(b[FoundRow::kStartTime], "2024-01-01 00:00:00");
    EXPECT_EQ(dialog->rows[0][FoundRow::kIp], "198.51.100.7");
    EXPECT_EQ(changes.back(), std::make_pair(vorpdev::Change::Updated, std::size_t{1}));

    const auto before = dialog->rows;
    report(VORP_EVENT_UPDATE, "b");  // serials compare case-sensitively
    EXPECT_EQ(dialog->rows.size(), before.size());
    EXPECT_EQ(dialog->rows[1].columns, before[1].columns);
    EXPECT_THAT(traces, ElementsAre("worng 002\n"));
}

TEST_F(VorpdevTest, RemovalNeverReusesRowNumbers) {
    dialog->shown();
    report(VORP_EVENT_REMOVE, "X");  // empty list
    report(VORP_EVENT_ADD, "A");
    report(VORP_EVENT_ADD, "B");
    report(VORP_EVENT_REMOVE, "B");
    report(VORP_EVENT_REMOVE, "B");
    report(VORP_EVENT_ADD, "C");
    EXPECT_THAT(column(FoundRow::kNumber), ElementsAre("001", "003"));
    EXPECT_THAT(column(FoundRow::kSerial), ElementsAre("A", "C"));
    EXPECT_THAT(traces, ElementsAre("Delete item failed\n", "Delete item failed\n"));
    EXPECT_EQ(dialog->rowCounter, 4);
}

TEST_F(VorpdevTest, OtherCodesAndIgnoredReportsChangeNothing) {
    dialog->shown();
    report(VORP_EVENT_REFRESH, "A");
    report(0, "A");
    report(6, "A");
    auto overlong = FoundRecordBuilder::device(VORP_EVENT_ADD, "A");
    overlong.text(VORP_FOUND_START_TIME, std::string(64, 't'));
    report(overlong);
    EXPECT_TRUE(discovery.deliver(nullptr));
    host.runPosted();
    EXPECT_THAT(dialog->rows, IsEmpty());
    EXPECT_THAT(traces, IsEmpty());
    EXPECT_THAT(changes, ElementsAre(std::make_pair(vorpdev::Change::Values, std::size_t{0})));
}

TEST_F(VorpdevTest, ClickFillsDetailsAndSelectionOutlivesTheRow) {
    dialog->shown();
    auto rec = FoundRecordBuilder::device(VORP_EVENT_ADD, "A", "203.0.113.44", 37777);
    rec.text(VORP_FOUND_MAC, "aa:bb").text(VORP_FOUND_SOFTWARE, "V7");
    report(rec);
    dialog->rowClicked(std::nullopt);
    dialog->rowClicked(5);
    EXPECT_EQ(dialog->selectedAddress, 0u);

    dialog->rowClicked(0);
    EXPECT_EQ(dialog->detailIp, Ipv4Fields::of(203, 0, 113, 44));
    EXPECT_EQ(dialog->detailMask, Ipv4Fields::of(255, 255, 255, 0));
    EXPECT_EQ(dialog->detailSerial, "A");
    EXPECT_EQ(dialog->detailMac, "aa:bb");
    EXPECT_EQ(dialog->detailSoftwareVersion, "V7");
    EXPECT_EQ(dialog->selectedPort, 37777);
    EXPECT_EQ(dialog->selectedAddress, 0xCB00712Cu);  // first octet highest

    report(VORP_EVENT_REMOVE, "A");
    EXPECT_EQ(dialog->selectedAddress, 0xCB00712Cu);
    EXPECT_EQ(dialog->selectedPort, 37777);
    const auto request = dialog->addSelected();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->ip, Ipv4Fields::of(203, 0, 113, 44));
    EXPECT_EQ(request->port, 37777);
    EXPECT_EQ(request->refreshFlag, &pageRefresh);
}

TEST_F(VorpdevTest, AnAddressTheBoxCannotShowSelectsNothing) {
    dialog->shown();
    report(VORP_EVENT_ADD, "A", "not an address");
    dialog->rowClicked(0);
    EXPECT_TRUE(dialog->detailIp.blank());
    EXPECT_FALSE(dialog->addSelected());
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::ChooseDeviceToAdd));
}

TEST_F(VorpdevTest, AddOpensPresetAddDeviceAndRefreshesThePage) {
    EXPECT_FALSE(dialog->addSelected());
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::ChooseDeviceToAdd));
    host.clear();

    addDevice(0, packIp(198, 51, 100, 7));
    dialog->shown();
    report(VORP_EVENT_ADD, "KNOWN", "198.51.100.7");
    report(VORP_EVENT_ADD, "NEW", "198.51.100.8", 8001);

    dialog->rowClicked(0);
    auto request = dialog->addSelected();
    ASSERT_TRUE(request);
    {
        devadd add(host, session, *image, request->refreshFlag, request->ip, request->port);
        EXPECT_EQ(add.userName, "admin");
        EXPECT_EQ(add.password, "");
        EXPECT_EQ(add.add(), Outcome::Refused);  // already in the table
        EXPECT_TRUE(add.closeRequested);
    }
    dialog->addDialogClosed();
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::DeviceAlreadyListed));
    EXPECT_EQ(pageRefresh, 1);

    dialog->rowClicked(1);
    request = dialog->addSelected();
    ASSERT_TRUE(request);
    devadd add(host, session, *image, request->refreshFlag, request->ip, request->port);
    EXPECT_EQ(add.add(), Outcome::Done);
    EXPECT_EQ(reload()->device(1).ip(), packIp(198, 51, 100, 8));
    EXPECT_EQ(reload()->device(1).port(), 8001);
    EXPECT_EQ(dialog->rows.size(), 2u);  // the dialog stays as it was
}

TEST_F(VorpdevTest, EnterWaitsForAPortInRange) {
    EXPECT_FALSE(dialog->acceptEnter());  // port 0 when the dialog opens
    ASSERT_EQ(host.shown.size(), 1u);
    EXPECT_EQ(host.shown[0].text, "Please enter an integer between 1 and 65535.");
    dialog->shown();
    report(VORP_EVENT_ADD, "A", "198.51.100.7", 65535);
    dialog->rowClicked(0);
    EXPECT_TRUE(dialog->acceptEnter());
    report(VORP_EVENT_ADD, "B", "198.51.100.7", 65536);
    dialog->rowClicked(1);
    EXPECT_FALSE(dialog->acceptEnter());
}

TEST_F(VorpdevTest, FailedStartShowsMessageAndNeverStops) {
    discovery.startSucceeds = false;
    dialog->shown();
    EXPECT_FALSE(dialog->started);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::StartVorpFailed));
    dialog.reset();
    EXPECT_EQ(discovery.starts, 1);
    EXPECT_EQ(discovery.stops, 0);
}

TEST_F(VorpdevTest, ClosingStopsOnceAndDropsReportsStillQueued) {
    dialog->shown();
    report(VORP_EVENT_ADD, "A");
    // Two reports posted but not yet run when the dialog goes.
    auto late = FoundRecordBuilder::device(VORP_EVENT_ADD, "LATE");
    discovery.deliver(late.bytes);
    remote::Discovery::Callback kept = discovery.callback;
    dialog->close();
    dialog->close();
    EXPECT_EQ(discovery.stops, 1);
    kept(late.bytes);  // a library that calls once more after its stop
    const std::size_t changesBefore = changes.size();
    dialog.reset();
    EXPECT_EQ(discovery.stops, 1);
    host.runPosted();
    EXPECT_EQ(changes.size(), changesBefore);
}

}  // namespace
}  // namespace kbcfg::devices
