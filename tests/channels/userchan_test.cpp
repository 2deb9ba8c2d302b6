#include "channels/userchan.h"
#include "support/literal_batch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "support/fresh_config.h"

namespace kbcfg::channels {
namespace {

using store::Msg;

using store::Outcome;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

class UserchanTest : public testing::FreshConfig {
  protected:
    void seed() override {
        addOperator(1, "op1");
        addOperator(2, "op2");
        addDevice(3, store::packIp(198, 51, 100, 3));
    }

    void addEntry(int op, int pos, std::uint32_t index, std::uint8_t kind, std::uint16_t number,
                  int slot = 3) {
        store::ChannelEntry e = image->channel(op, pos);
        e.setDeviceSlot(static_cast<std::int16_t>(slot));
        e.setIndex(index);
        e.setKind(kind);
        e.setNumber(number);
    }
    std::vector<std::string> shown(const userchan& page) const {
        std::vector<std::string> out;
        for (const auto& r : page.rows) out.push_back(r.indexText);
        return out;
    }
    // A page listing operator 1's inputs with these indexes, positions 0, 1, 2, ...
    userchan inputList(const std::vector<std::uint32_t>& indexes) {
        for (std::size_t i = 0; i < indexes.size(); ++i)
            addEntry(1, static_cast<int>(i), indexes[i], store::kInputChannel, 1);
        userchan page(host, session, *image);
        page.userNameField = "op1";
        page.showChannelList(ChannelListKind::Input);
        return page;
    }
};

TEST_F(UserchanTest, ListsFilterByKindAndLiveDevice) {
    addEntry(1, 0, 11, store::kInputChannel, 1);
    addEntry(1, 1, 12, store::kOutputChannel, 6);
    image->channel(1, 1).setOutputPort(store::kHdmi);
    image->channel(1, 1).setPortFirst(5);
    addEntry(1, 2, 13, store::kTvWall, 2);
    addEntry(1, 3, 14, store::kScene, 4);
    addEntry(1, 4, 15, 2, 1);                             // kind 2 is in no list
    addEntry(1, 5, 0xFFFFFFFF, store::kInputChannel, 1);  // no index
    addEntry(1, 6, 17, store::kInputChannel, 2, 9);       // device not in use
    addEntry(1, 7, 18, store::kInputChannel, 3);
    addEntry(2, 0, 19, store::kInputChannel, 1);  // another operator

    userchan page(host, session, *image);
    page.userNameField = "op1";
    page.showChannelList(ChannelListKind::Input);
    ASSERT_EQ(page.rows.size(), 2u);
    EXPECT_EQ(page.listedOperator, 1);
    EXPECT_EQ(page.rows[1].position, 7);
    EXPECT_EQ(page.rows[1].rowNumber, "1");
    EXPECT_EQ(page.rows[1].ip, "198.51.100.3");
    EXPECT_EQ(page.rows[1].port, "8000");
    EXPECT_EQ(page.rows[1].name, "3");
    page.showChannelList(ChannelListKind::Output);
    ASSERT_EQ(page.rows.size(), 1u);
    EXPECT_EQ(page.rows[0].name, "HDMI2");
    EXPECT_EQ(page.rows[0].rowNumber, "");
    page.showChannelList(ChannelListKind::WallScene);
    ASSERT_EQ(page.rows.size(), 2u);
    EXPECT_EQ(page.rows[0].name, "TV-Wall 2");
    EXPECT_EQ(page.rows[1].name, "Scene 4");
}

TEST_F(UserchanTest, NameLookupFailures) {
    userchan page(host, session, *image);
    page.showChannelList(ChannelListKind::Input);
    for (const char* name : {"nobody", "OP1", "admin", "seventeen_chars_x"}) {
        page.userNameField = name;
        page.fillChannelList();
        EXPECT_EQ(page.userNameField, "");
        EXPECT_EQ(page.focus, userchan::Focus::UserName);
        EXPECT_EQ(page.listedOperator, 0);
    }
    EXPECT_THAT(host.numbers(),
                ElementsAre(Msg::EnterUserNameFirst, Msg::UserNotFound, Msg::UserNotFound,
                            Msg::ErrorUser, Msg::UserNameTooLong));

    // A logged-in operator always sees his own channels.
    session.loggedInUser = 2;
    session.currentUserName = "op2";
    userchan mine(host, session, *image);
    EXPECT_FALSE(mine.userNameEnabled);
    EXPECT_EQ(mine.userNameField, "op2");
    mine.showChannelList(ChannelListKind::Input);
    EXPECT_EQ(mine.listedOperator, 2);
}

TEST_F(UserchanTest, CheckAllToggle) {
    userchan page = inputList({1, 2});
    page.onColumnHeaderClick(1);
    EXPECT_FALSE(page.rows[0].checked);
    page.onColumnHeaderClick(0);
    EXPECT_TRUE(page.rows[0].checked && page.rows[1].checked && page.headerMark);
    page.onColumnHeaderClick(0);
    EXPECT_FALSE(page.rows[0].checked || page.headerMark);
}

TEST_F(UserchanTest, SingleChange) {
    userchan page = inputList({5, 6, 7});
    EXPECT_EQ(page.changeIndexSingle(), Outcome::Refused);  // nothing ticked
    page.rows[1].checked = page.rows[2].checked = true;
    for (const char* bad : {"", "0", "12a", "-5", "6"}) {
        page.newIndexField = bad;
        EXPECT_EQ(page.changeIndexSingle(), Outcome::Refused);
        EXPECT_EQ(page.newIndexField, "");
        EXPECT_EQ(page.focus, userchan::Focus::NewIndex);
    }
    page.newIndexField = "00000012";
    ASSERT_EQ(page.changeIndexSingle(), Outcome::Done);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::ChooseChannelToModify, Msg::ChannelIndexRange,
                                            Msg::ChannelIndexRange, Msg::ChannelIndexRange,
                                            Msg::ChannelIndexRange, Msg::ChannelIndexExists));
    EXPECT_THAT(shown(page), ElementsAre("5", "00000012", "7"));
    EXPECT_FALSE(page.rows[1].checked || page.rows[2].checked);
    EXPECT_EQ(page.newIndexField, "00000012");
    auto saved = std::make_unique<store::ConfigImage>();
    ASSERT_EQ(store::loadImage(host, session, *saved), 0);
    EXPECT_EQ(saved->channel(1, 1).index(), 12u);
    EXPECT_EQ(saved->channel(1, 2).index(), 7u);

    // The shown text with its zeros still counts as 12.
    page.rows[0].checked = true;
    page.newIndexField = "12";
    EXPECT_EQ(page.changeIndexSingle(), Outcome::Refused);

    page.newIndexField = "100000000";
    page.onNewIndexChanged();
    EXPECT_EQ(page.newIndexField, "");
    page.newIndexField = "99999999";
    page.onNewIndexChanged();
    EXPECT_EQ(page.newIndexField, "99999999");
}

TEST_F(UserchanTest, SingleChangeOnWallsWritesTheEntry) {
    addEntry(1, 4, 3, store::kScene, 1);
    userchan page(host, session, *image);
    page.userNameField = "op1";
    page.showChannelList(ChannelListKind::WallScene);
    page.rows[0].checked = true;
    page.newIndexField = "44";
    ASSERT_EQ(page.changeIndexSingle(), Outcome::Done);
    EXPECT_EQ(image->channel(1, 4).index(), 44u);
}

std::vector<std::string> strings(const std::vector<int>& values) {
    std::vector<std::string> out;
    for (int v : values) out.push_back(std::to_string(v));
    return out;
}

TEST_F(UserchanTest, BatchWorkedExamples) {
    struct Case {
        std::vector<std::uint32_t> indexes;
        std::vector<std::size_t> checked;
        std::string newIndex;
        std::vector<int> after;
        std::vector<Msg> messages;
    };
    const Case cases[] = {
        {{1, 2, 3, 4, 5}, {2}, "2", {1, 2, 3, 4, 5}, {}},
        {{10, 20, 30, 40}, {0, 1}, "30", {30, 31, 30, 40}, {}},
        {{6, 5, 9}, {2}, "5", {6, 5, 7}, {}},
        {{1, 2, 3}, {0}, "99999998", {99999998, 99999999, 3}, {Msg::ChannelsNotModified}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.newIndex);
        image->clearOperatorTables(1);
        host.clear();
        userchan page = inputList(c.indexes);
        for (std::size_t row : c.checked) page.rows[row].checked = true;
        page.newIndexField = c.newIndex;
        EXPECT_EQ(page.changeIndexBatch(), Outcome::Done);
        EXPECT_THAT(shown(page), ElementsAreArray(strings(c.after)));
        for (std::size_t pos = 0; pos < c.indexes.size(); ++pos)
            EXPECT_EQ(std::to_string(image->channel(1, static_cast<int>(pos)).index()),
                      strings(c.after)[pos]);
        EXPECT_EQ(host.numbers(), c.messages);
    }
}

using kbcfg::testing::literalBatch;

TEST(RenumberBatch, MatchesTheLiteralProcedure) {
    std::mt19937 rng(11);
    for (int round = 0; round < 400; ++round) {
        const std::size_t count = 1 + rng() % 60;
        const bool high = round % 3 == 0;
        std::vector<std::int32_t> old(count);
        for (auto& v : old)
            v = high ? 99'999'950 + static_cast<std::int32_t>(rng() % 50)
                     : 1 + static_cast<std::int32_t>(rng() % 40);
        const std::size_t start = rng() % count;
        const std::size_t end = start + rng() % (count - start);
        std::int32_t value = high ? 99'999'940 + static_cast<std::int32_t>(rng() % 60)
                                  : 1 + static_cast<std::int32_t>(rng() % 40);
        if (round % 5 == 1) {
            // The restart scan's worst case: the rows above hold consecutive indexes.
            for (std::size_t i = 0; i < count; ++i) old[i] = static_cast<std::int32_t>(i + 1);
            value = 1;
        }
        bool fastTop = false, slowTop = false;
        ASSERT_EQ(renumberBatch(old, start, end, value, fastTop),
                  literalBatch(old, start, end, value, slowTop))
            << "round " << round;
        ASSERT_EQ(fastTop, slowTop);
    }
}

TEST_F(UserchanTest, DeleteClearsEntriesAndGroups) {
    userchan page = inputList({1, 2, 3});
    store::GroupRow row = image->groupRow(1, store::GroupTable::Input, 0);
    row.setSlot(0, 1);
    row.setSlot(1, 1);
    EXPECT_EQ(page.deleteCheckedChannels(), Outcome::Refused);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::ChooseChannelsToDelete));
    page.rows[0].checked = page.rows[1].checked = true;
    ASSERT_EQ(page.deleteCheckedChannels(), Outcome::Done);
    EXPECT_THAT(shown(page), ElementsAre("3"));
    EXPECT_EQ(image->channel(1, 0).index(), 0xFFFFFFFFu);
    EXPECT_EQ(image->channel(1, 1).deviceSlot(), -1);
    EXPECT_EQ(row.slot(0), -1);
    EXPECT_EQ(row.slot(1), 1);  // only the first cell of a row goes

    // Scenes and walls are deleted too.
    addEntry(1, 9, 5, store::kScene, 1);
    page.showChannelList(ChannelListKind::WallScene);
    page.rows[0].checked = true;
    page.deleteCheckedChannels();
    EXPECT_TRUE(page.rows.empty());
    EXPECT_EQ(image->channel(1, 9).deviceSlot(), -1);
}

}  // namespace
}  // namespace kbcfg::channels
