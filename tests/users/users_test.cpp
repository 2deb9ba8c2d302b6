#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "support/fresh_config.h"
#include "users/manuser.h"
#include "users/modifyuser.h"
#include "users/stream.h"
#include "users/useradd.h"

namespace kbcfg::users {
namespace {

using store::Msg;

using store::Answer;
using store::Outcome;
using ::testing::ElementsAre;

class UsersTest : public testing::FreshConfig {
  protected:
    Outcome add(const std::string& name, const std::string& pw, const std::string& confirm) {
        useradd dialog(host, session, *image);
        dialog.name = name;
        dialog.password = pw;
        dialog.confirm = confirm;
        const Outcome o = dialog.addUser();
        last = {dialog.name, dialog.password, dialog.confirm};
        lastClosed = dialog.closeRequested;
        return o;
    }

    std::vector<std::string> last;
    bool lastClosed = false;
};

TEST_F(UsersTest, AddUserChecksInOrder) {
    EXPECT_EQ(add(std::string(17, 'n'), "a", "a"), Outcome::Refused);
    EXPECT_THAT(last, ElementsAre("", "a", "a"));
    EXPECT_EQ(add("", "a", "b"), Outcome::Refused);
    EXPECT_EQ(add("a-b", "a", "a"), Outcome::Refused);
    EXPECT_THAT(last, ElementsAre("", "", ""));
    EXPECT_EQ(add("op", "secret", "secreT"), Outcome::Refused);  // before any length test
    EXPECT_THAT(last, ElementsAre("op", "", ""));
    EXPECT_EQ(add("op", std::string(17, 'p'), std::string(17, 'p')), Outcome::Refused);
    EXPECT_EQ(add("op", "\t", "\t"), Outcome::Refused);
    EXPECT_EQ(add("admin", "", ""), Outcome::Refused);
    EXPECT_THAT(last, ElementsAre("", "", ""));
    image->operatorRecord(2).setName("ghost");  // a free record's leftover name counts
    EXPECT_EQ(add("ghost", "", ""), Outcome::Refused);
    EXPECT_THAT(host.numbers(),
                ElementsAre(Msg::UserNameTooLong, Msg::UserNameBlank, Msg::UserNameChars,
                            Msg::PasswordsDiffer, Msg::PasswordTooLong, Msg::PasswordChars,
                            Msg::UserExists, Msg::UserExists));
    EXPECT_FALSE(lastClosed);
}

TEST_F(UsersTest, AddUserFillsFreeRecordsThenRefuses) {
    image->matrix(1, 4).setDeviceSlot(9);
    ASSERT_EQ(add(std::string(16, 'a'), "0123456789abcdef", "0123456789abcdef"), Outcome::Done);
    EXPECT_TRUE(lastClosed);
    ASSERT_EQ(add("second", "", ""), Outcome::Done);
    ASSERT_EQ(add("third", "x", "x"), Outcome::Done);
    EXPECT_EQ(add("fourth", "", ""), Outcome::Refused);
    EXPECT_TRUE(lastClosed);
    EXPECT_THAT(host.numbers(),
                ElementsAre(Msg::UserAdded, Msg::UserAdded, Msg::UserAdded, Msg::UserListFull));

    auto saved = reload();
    EXPECT_EQ(saved->operatorRecord(1).name(), std::string(16, 'a'));
    EXPECT_EQ(saved->operatorRecord(1).password(), "0123456789abcdef");
    EXPECT_EQ(saved->operatorRecord(2).inUse(), 1);  // untouched by the full password before it
    EXPECT_EQ(saved->operatorRecord(2).password(), "");
    EXPECT_EQ(saved->matrix(1, 4).deviceSlot(), -1);  // a new user starts without matrix records
}

TEST_F(UsersTest, ListAndDeleteAsAdministrator) {
    add("one", "", "");
    add("two", "", "");
    add("three", "", "");
    host.clear();
    manuser page(host, session, *image);
    page.refreshUserList();
    ASSERT_EQ(page.rows.size(), 3u);
    EXPECT_TRUE(page.addEnabled());

    EXPECT_EQ(page.deleteCheckedUsers(), Outcome::Refused);
    page.rows[0].checked = page.rows[2].checked = true;
    host.answers.push_back(Answer::Cancel);
    EXPECT_EQ(page.deleteCheckedUsers(), Outcome::Refused);
    EXPECT_FALSE(page.rows[0].checked);
    EXPECT_EQ(image->operatorRecord(1).inUse(), 1);

    image->channel(1, 0).setDeviceSlot(3);
    image->matrix(1, 0).setDeviceSlot(3);
    page.rows[0].checked = page.rows[2].checked = true;
    ASSERT_EQ(page.deleteCheckedUsers(), Outcome::Done);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::ChooseUsersToDelete, Msg::ConfirmDeleteUsers,
                                            Msg::ConfirmDeleteUsers));
    ASSERT_EQ(page.rows.size(), 1u);
    EXPECT_EQ(page.rows[0].position, 2);
    auto saved = reload();
    for (std::size_t i = 0; i < 52; ++i) ASSERT_EQ(saved->operatorRecord(1).data()[i], 0);
    EXPECT_EQ(saved->channel(1, 0).deviceSlot(), -1);
    EXPECT_EQ(saved->matrix(1, 0).deviceSlot(), 3);  // kept until the position is reused

    // The freed position is taken again and starts empty.
    ASSERT_EQ(add("new", "", ""), Outcome::Done);
    EXPECT_EQ(image->operatorRecord(1).name(), "new");
    EXPECT_EQ(image->matrix(1, 0).deviceSlot(), -1);
}

TEST_F(UsersTest, PasswordTargetsAndDoubleClick) {
    add("one", "", "");
    add("two", "", "");
    host.clear();
    manuser page(host, session, *image);
    page.refreshUserList();
    EXPECT_FALSE(page.passwordTarget());
    page.headerClicked(0);
    EXPECT_FALSE(page.passwordTarget());
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::ChooseUserToModify, Msg::ChooseOneUserToModify));
    EXPECT_FALSE(page.rows[0].checked);  // refreshed after 35
    page.rows[1].checked = true;
    auto target = page.passwordTarget();
    ASSERT_TRUE(target);
    EXPECT_EQ(target->position, 2);
    EXPECT_EQ(target->shownName, "two");

    EXPECT_FALSE(page.userDevicesTarget());
    page.rows[0].selected = page.rows[1].selected = true;
    EXPECT_EQ(page.userDevicesTarget(), 2);

    // An operator sees only himself and needs no check mark.
    session.loggedInUser = 1;
    session.currentUserName = "one";
    page.refreshUserList();
    ASSERT_EQ(page.rows.size(), 1u);
    EXPECT_FALSE(page.addEnabled());
    EXPECT_EQ(page.passwordTarget()->position, 1);
    EXPECT_EQ(page.passwordTarget()->shownName, "one");
    EXPECT_EQ(page.userDevicesTarget(), 1);
}

TEST_F(UsersTest, ModifyPassword) {
    add("one", "old", "old");
    host.clear();
    modifyuser dialog(host, session, *image, 1, "one");
    dialog.newPassword = "abc";
    dialog.confirm = "abd";
    EXPECT_EQ(dialog.modifyPassword(), Outcome::Refused);
    EXPECT_EQ(dialog.newPassword, "");
    dialog.newPassword = dialog.confirm = std::string(17, 'x');
    dialog.modifyPassword();
    dialog.newPassword = dialog.confirm = "\x7F";
    dialog.modifyPassword();
    dialog.newPassword = dialog.confirm = "";
    ASSERT_EQ(dialog.modifyPassword(), Outcome::Done);
    EXPECT_TRUE(dialog.closeRequested);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::PasswordsDiffer, Msg::PasswordTooLong,
                                            Msg::PasswordChars, Msg::PasswordModified));
    auto saved = reload();
    for (std::size_t i = 0; i < 16; ++i)
        EXPECT_EQ(saved->operatorRecord(1).data()[store::OperatorRecord::kPassword + i], 0);
}

class StreamTest : public UsersTest {
  protected:
    void SetUp() override {
        UsersTest::SetUp();
        // Device 7 assigned to operators 1 and 2 with 8 inputs and an output.
        for (int op : {1, 2}) {
            image->setUserDevice(op, 4, 7);
            image->stream(op, 4).setDeviceSlot(7);
            for (int i = 0; i < 9; ++i) {
                store::ChannelEntry e = image->channel(op, 10 + i);
                e.setDeviceSlot(7);
                e.setKind(i < 8 ? store::kInputChannel : store::kOutputChannel);
            }
        }
    }
    int viaStreamCount(int op) const {
        int n = 0;
        for (int pos = 0; pos < 20480; ++pos) n += image->channel(op, pos).viaStream();
        return n;
    }
};

TEST_F(StreamTest, SingleBindAndRemove) {
    stream dialog(host, session, *image, 1, 7);
    EXPECT_FALSE(dialog.enabled);
    EXPECT_FALSE(dialog.okEnabled);
    EXPECT_EQ(dialog.port, "554");
    dialog.toggleStreamEnable();
    EXPECT_EQ(dialog.protocol, 0);
    EXPECT_TRUE(dialog.okEnabled);

    EXPECT_EQ(dialog.applyStreamBinding(), Outcome::Refused);  // no address
    dialog.address = store::Ipv4Fields::of(0, 0, 0, 0);
    dialog.applyStreamBinding();
    dialog.address.octets = {203, 0, std::nullopt, 9};
    dialog.applyStreamBinding();
    EXPECT_TRUE(dialog.address.blank());
    dialog.address = store::Ipv4Fields::of(203, 0, 113, 9);
    for (const char* bad : {"0", "65536", ""}) {
        dialog.port = bad;
        dialog.applyStreamBinding();
        EXPECT_EQ(dialog.port, "8000");
    }
    EXPECT_THAT(host.numbers(),
                ElementsAre(Msg::IpBlank, Msg::IpBlank, Msg::IpFieldBlank, Msg::StreamPortRange,
                            Msg::StreamPortRange, Msg::StreamPortRange));
    EXPECT_EQ(viaStreamCount(1), 0);

    host.clear();
    dialog.port = "554rtsp";
    dialog.protocol = 1;
    ASSERT_EQ(dialog.applyStreamBinding(), Outcome::Done);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::StreamBound));
    auto saved = reload();
    EXPECT_EQ(saved->stream(1, 4).enabled(), 1);
    EXPECT_EQ(saved->stream(1, 4).serverPort(), 554);
    EXPECT_EQ(saved->stream(1, 4).protocol(), 1);
    EXPECT_EQ(saved->stream(1, 4).serverIp(), store::packIp(203, 0, 113, 9));
    EXPECT_EQ(viaStreamCount(1), 8);  // inputs only
    EXPECT_EQ(viaStreamCount(2), 0);  // the other user's entries are his own

    stream again(host, session, *image, 1, 7);
    EXPECT_TRUE(again.enabled);
    EXPECT_EQ(again.port, "554");
    again.toggleStreamEnable();
    EXPECT_TRUE(again.okEnabled);
    EXPECT_FALSE(again.addressEnabled);
    ASSERT_EQ(again.applyStreamBinding(), Outcome::Done);
    EXPECT_EQ(viaStreamCount(1), 0);
    EXPECT_EQ(image->stream(1, 4).serverPort(), 554);  // kept, only disabled
    stream reopened(host, session, *image, 1, 7);
    EXPECT_FALSE(reopened.enabled);
    EXPECT_FALSE(reopened.addressEnabled);
}

TEST_F(StreamTest, BatchBindsEveryListedDevice) {
    std::vector<int> slots(150, -1);
    slots[0] = 7;
    slots[1] = 99;  // no stream record: skipped
    stream dialog(host, session, *image, 2, slots);
    EXPECT_TRUE(dialog.enabled);
    EXPECT_EQ(dialog.protocol, 0);
    dialog.address = store::Ipv4Fields::of(198, 51, 100, 1);
    ASSERT_EQ(dialog.applyStreamBinding(), Outcome::Done);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::StreamBoundBatch));
    EXPECT_EQ(viaStreamCount(2), 8);
    EXPECT_EQ(viaStreamCount(1), 0);
    dialog.toggleStreamEnable();
    dialog.applyStreamBinding();
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::StreamBoundBatch, Msg::StreamRemovedBatch));
    EXPECT_EQ(viaStreamCount(2), 0);
}

}  // namespace
}  // namespace kbcfg::users
