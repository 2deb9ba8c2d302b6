#include "store/config_image.h"

#include <gtest/gtest.h>

#include <memory>

namespace kbcfg::store {
namespace {

using namespace layout;

class ConfigImageTest : public ::testing::Test {
  protected:
    std::unique_ptr<ConfigImage> image = std::make_unique<ConfigImage>();
    ConfigImage& img() { return *image; }
};

TEST_F(ConfigImageTest, RecordsSitAtTheirOffsets) {
    img().device(3839).setInUse(7);
    EXPECT_EQ(getU32(img().bytes().data() + kDeviceTable + 3839 * 132), 7u);
    img().channel(3, 20479).setIndex(0xDEADBEEF);
    EXPECT_EQ(getU32(img().bytes().data() + kChannelTable + 2 * 327'680 + 20479 * 16), 0xDEADBEEFu);
    img().setUserDevice(2, 5, 1234);
    EXPECT_EQ(getI16(img().bytes().data() + kUserDeviceList + 2560 + 10), 1234);
    img().groupRow(2, GroupTable::Output, 15).setSlot(63, 77);
    EXPECT_EQ(getI16(img().bytes().data() + kOutputGroupTable + 2112 + 15 * 132 + 4 + 126), 77);
    img().matrix(3, 31).setDeviceSlot(9);
    EXPECT_EQ(getI32(img().bytes().data() + kMatrixRecords + 2 * 16'512 + 31 * 516), 9);
    img().stream(3, 1279).setServerPort(554);
    EXPECT_EQ(getU16(img().bytes().data() + kStreamRecords + 2 * 46'080 + 1279 * 36 + 32), 554u);
    // The last stream record of operator 3 ends where the reserved tail begins.
    EXPECT_EQ(kStreamRecords + 3 * kStreamPerOperator, kReservedTail);
    EXPECT_EQ(kReservedTail + 9344, kImageSize);

    EXPECT_THROW(img().device(3840), std::out_of_range);
    EXPECT_THROW(img().channel(0, 0), std::out_of_range);
    EXPECT_THROW(img().channel(1, 20480), std::out_of_range);
    EXPECT_THROW(img().operatorRecord(4), std::out_of_range);
}

TEST_F(ConfigImageTest, FullWidthTextFieldsReadWithoutTerminator) {
    OperatorRecord op = img().operatorRecord(1);
    op.setPassword("0123456789abcdef");
    EXPECT_EQ(op.password(), "0123456789abcdef");
    // The next field's bytes are not part of the password.
    EXPECT_EQ(img().operatorRecord(2).data()[0], 0);
    // A shorter password leaves no stale bytes behind its NUL.
    op.setPassword("ab");
    EXPECT_EQ(op.password(), "ab");
    for (std::size_t i = 2; i < 16; ++i) EXPECT_EQ(op.data()[OperatorRecord::kPassword + i], 0);

    DeviceRecord dev = img().device(0);
    dev.setUserName(std::string(40, 'x'));
    EXPECT_EQ(dev.userName(), std::string(32, 'x'));
}

TEST_F(ConfigImageTest, DeviceQueries) {
    // Free records are zero, so 0.0.0.0 "exists" while any record is free.
    EXPECT_TRUE(img().deviceIpExists(0));
    EXPECT_EQ(img().findFreeDeviceSlot(), 0);
    for (int s = 0; s < kDeviceCount; ++s) {
        img().device(s).setInUse(1);
        img().device(s).setIp(
            packIp(10, 0, static_cast<std::uint8_t>(s >> 8), static_cast<std::uint8_t>(s)));
    }
    EXPECT_EQ(img().findFreeDeviceSlot(), -1);
    EXPECT_FALSE(img().deviceIpExists(0));
    EXPECT_TRUE(img().deviceIpExists(packIp(10, 0, 14, 255)));
    img().device(100).clear();
    EXPECT_EQ(img().findFreeDeviceSlot(), 100);
    EXPECT_EQ(formatIp(packIp(192, 0, 2, 254)), "192.0.2.254");
}

TEST_F(ConfigImageTest, OperatorQueries) {
    img().operatorRecord(0).setName("admin");
    img().operatorRecord(0).setInUse(1);
    EXPECT_EQ(img().findFreeOperatorRecord(), 1);
    for (int n = 1; n <= 3; ++n) img().operatorRecord(n).setInUse(1);
    img().operatorRecord(0).setInUse(0);
    EXPECT_EQ(img().findFreeOperatorRecord(), 0);  // the administrator's record is never offered

    // Found whether in use or not; zeroed records have an empty name.
    img().operatorRecord(2).setName("op_2");
    img().operatorRecord(2).setInUse(0);
    EXPECT_EQ(img().findOperatorByName("op_2"), 2);
    EXPECT_EQ(img().findOperatorByName("admin"), 0);
    EXPECT_EQ(img().findOperatorByName("nobody"), -1);
    EXPECT_TRUE(img().operatorNameExists("op_2"));
    EXPECT_FALSE(img().operatorNameExists("op_"));

    // A 32-byte name without NUL compares over its 32 bytes.
    const std::string longName(32, 'n');
    img().operatorRecord(3).setName(longName);
    EXPECT_EQ(img().findOperatorByName(longName), 3);
    EXPECT_EQ(img().findOperatorByName(longName + "tail"), 3);
    EXPECT_FALSE(img().operatorNameExists(longName + "tail"));

    EXPECT_EQ(img().lookupOperator("op_2"), 2);
    EXPECT_EQ(img().lookupOperator(std::string(16, 'z')), -1);
    EXPECT_EQ(img().lookupOperator(std::string(17, 'z')), -2);
}

TEST_F(ConfigImageTest, ClearOperatorTablesLeavesMatrixRecords) {
    img().matrix(1, 0).setDeviceSlot(5);
    img().channel(1, 7).setIndex(9);
    img().groupRow(1, GroupTable::Input, 3).setParam(10);
    img().stream(1, 4).setServerIp(1234);
    EXPECT_EQ(img().clearOperatorTables(1), 0);
    EXPECT_EQ(img().clearOperatorTables(0), 1);
    EXPECT_EQ(img().clearOperatorTables(4), 1);
    EXPECT_EQ(img().matrix(1, 0).deviceSlot(), 5);
    EXPECT_EQ(img().channel(1, 7).index(), 0u);
    EXPECT_EQ(img().channel(1, 7).deviceSlot(), -1);
    EXPECT_EQ(img().channel(1, 20479).deviceSlot(), -1);
    EXPECT_EQ(img().groupRow(1, GroupTable::Input, 3).param(), 0u);
    EXPECT_EQ(img().groupRow(1, GroupTable::Output, 15).slot(63), -1);
    EXPECT_EQ(img().userDevice(1, 1279), -1);
    EXPECT_EQ(img().stream(1, 4).deviceSlot(), -1);
    EXPECT_EQ(img().stream(1, 4).serverIp(), 0u);
    // Operator 2 is untouched.
    EXPECT_EQ(img().channel(2, 0).deviceSlot(), 0);

    img().resetOperatorDevices(1);
    EXPECT_EQ(img().matrix(1, 0).deviceSlot(), -1);
    EXPECT_EQ(img().matrix(1, 31).deviceSlot(), -1);
}

TEST_F(ConfigImageTest, RemoveDeviceFromUserListTakesOnlyTheFirstEntry) {
    img().clearOperatorTables(2);
    img().setUserDevice(2, 3, 42);
    img().setUserDevice(2, 9, 42);
    img().stream(2, 3).setDeviceSlot(42);
    img().stream(2, 3).setEnabled(1);
    img().stream(2, 9).setDeviceSlot(42);
    EXPECT_EQ(img().removeDeviceFromUserList(2, 42), 0);
    EXPECT_EQ(img().userDevice(2, 3), -1);
    EXPECT_EQ(img().stream(2, 3).deviceSlot(), -1);
    EXPECT_EQ(img().stream(2, 3).enabled(), 0);
    EXPECT_EQ(img().userDevice(2, 9), 42);
    EXPECT_EQ(img().stream(2, 9).deviceSlot(), 42);
    EXPECT_EQ(img().removeDeviceFromUserList(0, 42), 1);
}

TEST_F(ConfigImageTest, RemoveDeviceFromGroupsResolvesSlotsAsChannelPositions) {
    img().clearOperatorTables(1);
    img().channel(1, 0).setDeviceSlot(7);  // position 0 belongs to device 7
    img().channel(1, 5).setDeviceSlot(7);
    img().channel(1, 6).setDeviceSlot(8);
    GroupRow in = img().groupRow(1, GroupTable::Input, 0);
    GroupRow out = img().groupRow(1, GroupTable::Output, 15);
    in.setSlot(0, 5);
    in.setSlot(1, 6);
    in.setSlot(2, 0);
    in.setSlot(3, 5);
    out.setSlot(63, 0);
    out.setSlot(10, 30000);  // beyond the table: refers to no channel
    EXPECT_EQ(img().removeDeviceFromGroups(1, 7), 0);
    EXPECT_EQ(in.slot(0), -1);
    EXPECT_EQ(in.slot(1), 6);
    EXPECT_EQ(in.slot(2), -1);  // position 0 is device 7's channel
    EXPECT_EQ(in.slot(3), -1);  // every matching slot goes
    EXPECT_EQ(out.slot(63), -1);
    EXPECT_EQ(out.slot(10), 30000);
    EXPECT_EQ(img().removeDeviceFromGroups(5, 7), 1);
}

TEST_F(ConfigImageTest, RemoveChannelFromGroupsClearsOneSlotPerRow) {
    img().clearOperatorTables(3);
    GroupRow r0 = img().groupRow(3, GroupTable::Input, 0);
    GroupRow r1 = img().groupRow(3, GroupTable::Input, 1);
    r0.setSlot(4, 0);
    r0.setSlot(8, 0);
    r1.setSlot(60, 0);
    img().groupRow(3, GroupTable::Output, 0).setSlot(0, 0);
    img().removeChannelFromGroups(3, 0, GroupTable::Input);
    EXPECT_EQ(r0.slot(4), -1);
    EXPECT_EQ(r0.slot(8), 0);
    EXPECT_EQ(r1.slot(60), -1);
    EXPECT_EQ(img().groupRow(3, GroupTable::Output, 0).slot(0), 0);
}

TEST_F(ConfigImageTest, RemoveMatrixLinksUnlinksInputsOfTheDevice) {
    img().clearOperatorTables(1);
    img().matrix(1, 3).setDeviceSlot(12);
    img().matrix(1, 4).setDeviceSlot(13);
    ChannelEntry linked = img().channel(1, 0);
    linked.setKind(kInputChannel);
    linked.setMatrixLink((3 << 1) | 1);
    ChannelEntry other = img().channel(1, 1);
    other.setKind(kInputChannel);
    other.setMatrixLink((4 << 1) | 1);
    ChannelEntry output = img().channel(1, 2);
    output.setKind(kOutputChannel);
    output.setMatrixLink((3 << 1) | 1);
    ChannelEntry unlinkedBit = img().channel(1, 3);
    unlinkedBit.setMatrixLink(3 << 1);
    img().removeMatrixLinks(1, 12);
    EXPECT_EQ(linked.matrixLink(), 0);
    EXPECT_EQ(other.matrixLink(), (4 << 1) | 1);
    EXPECT_EQ(output.matrixLink(), (3 << 1) | 1);
    EXPECT_EQ(unlinkedBit.matrixLink(), 3 << 1);
}

TEST_F(ConfigImageTest, ChannelDisplayNames) {
    ChannelEntry e = img().channel(1, 0);
    e.setKind(kOutputChannel);
    e.setOutputPort(kHdmi);
    e.setPortFirst(5);
    e.setNumber(6);
    EXPECT_EQ(channelDisplayName(e), "HDMI2");
    e.setOutputPort(kBnc);
    e.setPortFirst(9);
    e.setNumber(10);
    EXPECT_EQ(channelDisplayName(e), "BNC2");
    e.setOutputPort(7);
    e.setNumber(1);
    EXPECT_EQ(channelDisplayName(e), "1");
    e.setKind(kScene);
    e.setNumber(3);
    EXPECT_EQ(channelDisplayName(e), "Scene 3");
    e.setKind(kTvWall);
    EXPECT_EQ(channelDisplayName(e), "TV-Wall 3");
    e.setKind(kInputChannel);
    e.setNumber(12);
    EXPECT_EQ(channelDisplayName(e), "12");
}

}  // namespace
}  // namespace kbcfg::store
