#include "devices/mandev.h"

#include <gmock/gmock.h>

#include "devices/modifydev.h"
#include "support/fresh_config.h"

namespace kbcfg::devices {
namespace {

using store::Msg;

using store::Answer;
using store::Outcome;
using store::packIp;
using ::testing::ElementsAre;

class MandevTest : public testing::FreshConfig {
  protected:
    mandev page{host, session, *image};

    std::vector<int> listedSlots() const {
        std::vector<int> out;
        for (const auto& r : page.rows) out.push_back(r.slot);
        return out;
    }
    void check(std::initializer_list<int> slots) {
        for (auto& row : page.rows)
            for (int s : slots)
                if (row.slot == s) row.checked = true;
    }
};

TEST_F(MandevTest, ListsUsedRecordsWithAddressAndPort) {
    addDevice(2, packIp(10, 0, 0, 2));
    addDevice(5, packIp(10, 0, 0, 5), 9000);
    addDevice(7, 0);                       // no address
    addDevice(8, packIp(10, 0, 0, 8), 0);  // no port
    addDevice(9, packIp(10, 0, 0, 9));
    image->device(9).setInUse(2);  // in use means exactly 1
    image->device(5).setUserName("caf\xE9");
    page.refreshDeviceList();
    EXPECT_THAT(listedSlots(), ElementsAre(2, 5));
    EXPECT_EQ(page.rows[1].ip, "10.0.0.5");
    EXPECT_EQ(page.rows[1].port, 9000);
    EXPECT_EQ(page.rows[1].userName, "caf\xC3\xA9");
    EXPECT_THAT(mandev::columnCaptions(),
                ElementsAre("", "Device Index", "IP", "Port", "Username"));
}

TEST_F(MandevTest, SelectAllByColumnZeroOnly) {
    page.headerClicked(0);  // no rows: nothing changes
    EXPECT_EQ(page.selectAll, 0);
    EXPECT_FALSE(page.headerChecked);
    addDevice(1, packIp(10, 0, 0, 1));
    addDevice(2, packIp(10, 0, 0, 2));
    page.refreshDeviceList();
    page.headerClicked(2);
    EXPECT_FALSE(page.rows[0].checked);
    page.headerClicked(0);
    EXPECT_TRUE(page.rows[0].checked && page.rows[1].checked);
    EXPECT_TRUE(page.headerChecked);
    page.headerClicked(0);
    EXPECT_FALSE(page.rows[0].checked || page.rows[1].checked);
    EXPECT_FALSE(page.headerChecked);
    page.headerClicked(0);
    page.refreshDeviceList();  // marks go, the header keeps its mark
    EXPECT_FALSE(page.rows[0].checked);
    EXPECT_EQ(page.selectAll, 0);
    EXPECT_TRUE(page.headerChecked);
}

TEST_F(MandevTest, DeleteNeedsACheckAndAConfirmation) {
    addDevice(1, packIp(10, 0, 0, 1));
    page.refreshDeviceList();
    EXPECT_EQ(page.deleteCheckedDevices(), Outcome::Refused);
    check({1});
    host.answers.push_back(Answer::Cancel);
    EXPECT_EQ(page.deleteCheckedDevices(), Outcome::Refused);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::ChooseDevicesToDelete, Msg::ConfirmDeleteDevices));
    EXPECT_FALSE(page.rows[0].checked);
    EXPECT_EQ(image->device(1).inUse(), 1u);
    // Closing the box is no answer: nothing is deleted.
    check({1});
    host.answers.push_back(Answer::Closed);
    EXPECT_EQ(page.deleteCheckedDevices(), Outcome::Refused);
    EXPECT_EQ(image->device(1).inUse(), 1u);
}

TEST_F(MandevTest, DeleteRemovesEveryReferenceAndSaves) {
    addDevice(5, packIp(10, 0, 0, 5));
    addDevice(6, packIp(10, 0, 0, 6));
    addDevice(9, packIp(10, 0, 0, 9));
    for (int op = 1; op <= 3; ++op) {
        store::ChannelEntry mine = image->channel(op, 10);
        mine.setDeviceSlot(5);
        mine.setIndex(1001);
        mine.setKind(store::kOutputChannel);
        mine.setNumber(3);
        store::ChannelEntry other = image->channel(op, 11);
        other.setDeviceSlot(6);
        other.setIndex(1002);
        image->groupRow(op, store::GroupTable::Input, 0).setSlot(0, 10);
        image->groupRow(op, store::GroupTable::Output, 1).setSlot(5, 11);
        image->setUserDevice(op, 3, 5);
        image->setUserDevice(op, 7, 5);
        image->stream(op, 3).setDeviceSlot(5);
        image->stream(op, 3).setEnabled(1);
        image->matrix(op, 0).setDeviceSlot(5);
    }
    page.refreshDeviceList();
    check({5, 9});
    ASSERT_EQ(page.deleteCheckedDevices(), Outcome::Done);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::ConfirmDeleteDevices));
    EXPECT_EQ(session.confirmAnswer, 0);
    EXPECT_THAT(listedSlots(), ElementsAre(6));

    auto saved = reload();
    for (int slot : {5, 9})
        for (std::size_t i = 0; i < store::layout::kDeviceRecordSize; ++i)
            ASSERT_EQ(saved->device(slot).data()[i], 0);
    for (int op = 1; op <= 3; ++op) {
        SCOPED_TRACE(op);
        const store::ChannelEntry gone = saved->channel(op, 10);
        EXPECT_EQ(gone.deviceSlot(), -1);
        EXPECT_EQ(gone.index(), 0u);
        EXPECT_EQ(gone.number(), 0);
        EXPECT_EQ(saved->channel(op, 11).deviceSlot(), 6);
        EXPECT_EQ(saved->groupRow(op, store::GroupTable::Input, 0).slot(0), -1);
        EXPECT_EQ(saved->groupRow(op, store::GroupTable::Output, 1).slot(5), 11);
        EXPECT_EQ(saved->userDevice(op, 3), -1);
        EXPECT_EQ(saved->userDevice(op, 7), 5);  // only the first entry goes
        EXPECT_EQ(saved->stream(op, 3).deviceSlot(), -1);
        EXPECT_EQ(saved->matrix(op, 0).deviceSlot(), 5);  // matrix records keep the slot
    }
    EXPECT_EQ(saved->findFreeDeviceSlot(), 0);
    EXPECT_EQ(image->findFreeDeviceSlot(), 0);
    image->device(0).setInUse(1);
    EXPECT_EQ(image->findFreeDeviceSlot(), 1);
    for (int s = 1; s < 5; ++s) image->device(s).setInUse(1);
    EXPECT_EQ(image->findFreeDeviceSlot(), 5);  // the freed slot is reused
}

TEST_F(MandevTest, ModifyTakesAllCheckedRows) {
    addDevice(4, packIp(10, 0, 0, 4), 8001);
    addDevice(8, packIp(10, 0, 0, 8));
    addDevice(12, packIp(10, 0, 0, 12));
    image->device(4).setUserName("first");
    for (int s : {4, 8, 12}) image->device(s).setPassword("old");
    page.refreshDeviceList();
    EXPECT_FALSE(page.modifyFlags());
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::ChooseDeviceToModify));

    check({12, 4, 8});
    auto flags = page.modifyFlags();
    ASSERT_TRUE(flags);
    modifydev dialog(host, session, *image, *flags, &page.refreshFlag);
    EXPECT_EQ(dialog.ip, store::Ipv4Fields::of(10, 0, 0, 4));
    EXPECT_EQ(dialog.port, "8001");
    EXPECT_EQ(dialog.userName, "first");
    EXPECT_EQ(dialog.password, "");
    EXPECT_EQ(dialog.focus, modifydev::Focus::UserName);

    dialog.port = "9100";
    dialog.userName = "operator";
    ASSERT_EQ(dialog.modify(), store::Outcome::Done);
    EXPECT_TRUE(dialog.closeRequested);
    EXPECT_EQ(page.refreshFlag, 1);
    page.dialogClosed();
    EXPECT_FALSE(page.rows[0].checked);  // rebuilt
    auto saved = reload();
    for (int s : {4, 8, 12}) {
        EXPECT_EQ(saved->device(s).port(), 9100);
        EXPECT_EQ(saved->device(s).userName(), "operator");
        EXPECT_EQ(saved->device(s).password(), "");  // no password typed: replaced by empty
        EXPECT_EQ(saved->device(s).ip(), packIp(10, 0, 0, static_cast<std::uint8_t>(s)));
    }
}

TEST_F(MandevTest, ModifyRefusals) {
    addDevice(0, packIp(10, 0, 0, 1));
    std::vector<std::uint8_t> flags(3840, 0);
    flags[0] = 1;
    int refresh = 0;
    modifydev dialog(host, session, *image, flags, &refresh);
    dialog.port = "1999";
    dialog.password = "keep";
    EXPECT_EQ(dialog.modify(), Outcome::Refused);
    EXPECT_EQ(dialog.port, "8000");
    EXPECT_EQ(dialog.password, "keep");
    dialog.userName = std::string(17, 'x');
    dialog.modify();
    EXPECT_EQ(dialog.userName, "");
    dialog.modify();  // now blank
    dialog.userName = "a.b";
    dialog.modify();
    EXPECT_EQ(dialog.password, "");
    dialog.userName = "ok";
    dialog.password = std::string(17, 'p');
    dialog.modify();
    EXPECT_EQ(dialog.focus, modifydev::Focus::Password);
    dialog.userName = "ok";
    dialog.password = "\xC3\xA9";
    dialog.modify();
    EXPECT_EQ(dialog.userName, "");
    EXPECT_EQ(dialog.focus, modifydev::Focus::UserName);
    EXPECT_THAT(host.numbers(),
                ElementsAre(Msg::PortRange, Msg::UserNameTooLong, Msg::UserNameBlank,
                            Msg::UserNameChars, Msg::PasswordTooLong, Msg::PasswordChars));
    EXPECT_EQ(refresh, 0);
    EXPECT_EQ(image->device(0).port(), 8000);
}

}  // namespace
}  // namespace kbcfg::devices
