#include "store/lint.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "store/fresh_image.h"

namespace kbcfg::store {
namespace {

using namespace layout;

void addDevice(ConfigImage& image, int slot, std::uint32_t ip, std::uint16_t port = 8000) {
    DeviceRecord d = image.device(slot);
    d.setInUse(1);
    d.setIp(ip);
    d.setPort(port);
    d.setUserName("admin");
}

void addChannel(ConfigImage& image, int op, int pos, int slot, std::uint8_t kind,
                std::uint32_t index, std::uint16_t number = 1) {
    ChannelEntry e = image.channel(op, pos);
    e.setDeviceSlot(static_cast<std::int16_t>(slot));
    e.setKind(kind);
    e.setIndex(index);
    e.setNumber(number);
}

// Operators 1 and 2 in use, 3 free. Devices: 0 encoder, 1 decoder, 2 matrix device (all with
// operator 1), 3 an encoder nobody has. Operator 2 has the encoder too, with the same indexes.
void buildClean(ConfigImage& image) {
    makeFreshImage(image, "user0", "");
    for (int op = 1; op < 3; ++op) {
        image.operatorRecord(op).setInUse(1);
        image.operatorRecord(op).setName("user" + std::to_string(op));
    }
    addDevice(image, 0, packIp(198, 51, 100, 10));
    addDevice(image, 1, packIp(198, 51, 100, 11));
    addDevice(image, 2, packIp(198, 51, 100, 12));
    addDevice(image, 3, packIp(203, 0, 113, 5));

    for (int i = 0; i < 3; ++i) image.setUserDevice(1, i, static_cast<std::int16_t>(i));
    image.stream(1, 0).setDeviceSlot(0);
    image.stream(1, 0).setEnabled(1);
    image.stream(1, 1).setDeviceSlot(1);
    image.matrix(1, 0).setDeviceSlot(2);  // a matrix device gets no stream record
    for (int k = 0; k < 4; ++k) addChannel(image, 1, k, 0, kInputChannel, 1 + k, 1 + k);
    image.channel(1, 1).setMatrixLink(0 << 1 | 1);
    addChannel(image, 1, 4, 1, kOutputChannel, 1);
    addChannel(image, 1, 5, 1, kOutputChannel, 2, 2);
    addChannel(image, 1, 6, 1, kScene, 1);
    addChannel(image, 1, 7, 1, kTvWall, 2);
    image.groupRow(1, GroupTable::Input, 0).setSlot(0, 1);
    image.groupRow(1, GroupTable::Input, 0).setSlot(1, 2);
    image.groupRow(1, GroupTable::Output, 0).setSlot(0, 4);

    image.setUserDevice(2, 0, 0);
    image.stream(2, 0).setDeviceSlot(0);
    addChannel(image, 2, 0, 0, kInputChannel, 1);
    addChannel(image, 2, 1, 0, kInputChannel, 2, 2);
    image.updateChecksum();
}

struct Expected {
    const char* code;
    LintSeverity severity;
    LintTable table;
    int op;
    int index;
    int cell = -1;
    int related = -1;
};

struct Case {
    const char* name;
    std::function<void(ConfigImage&)> seed;
    std::vector<Expected> expected;  // empty: the change is consistent
};

constexpr auto E = LintSeverity::Error;
constexpr auto W = LintSeverity::Warning;

const std::vector<Case>& cases() {
    using T = LintTable;
    static const std::vector<Case> all = {
        {"channel of a free device",
         [](ConfigImage& im) { addChannel(im, 1, 10, 5, kInputChannel, 50); },
         {{"device-not-in-use", E, T::Channels, 1, 10}}},
        {"channel of a device the operator lacks",
         [](ConfigImage& im) { addChannel(im, 1, 10, 3, kInputChannel, 50); },
         {{"device-not-assigned", W, T::Channels, 1, 10}}},
        {"channel slot beyond the table",
         [](ConfigImage& im) { im.channel(1, 3).setDeviceSlot(3840); },
         {{"slot-out-of-range", E, T::Channels, 1, 3}}},
        {"channel slot below -1",
         [](ConfigImage& im) { im.channel(1, 3).setDeviceSlot(-2); },
         {{"slot-out-of-range", E, T::Channels, 1, 3}}},
        {"duplicate input index",
         [](ConfigImage& im) { addChannel(im, 1, 10, 0, kInputChannel, 3); },
         {{"duplicate-index", E, T::Channels, 1, 10, -1, 2}}},
        {"a TV wall and a scene share one group",
         [](ConfigImage& im) { addChannel(im, 1, 10, 1, kTvWall, 1); },
         {{"duplicate-index", E, T::Channels, 1, 10, -1, 6}}},
        {"an output may reuse an input's index",
         [](ConfigImage& im) { addChannel(im, 1, 10, 1, kOutputChannel, 3); },
         {}},
        {"an index of a channel of a free device is not claimed",
         [](ConfigImage& im) {
             addChannel(im, 1, 10, 5, kInputChannel, 3);
             addChannel(im, 1, 11, 0, kInputChannel, 50);
         },
         {{"device-not-in-use", E, T::Channels, 1, 10}}},
        {"index 0",
         [](ConfigImage& im) { im.channel(1, 3).setIndex(0); },
         {{"index-out-of-range", E, T::Channels, 1, 3}}},
        {"index above the range",
         [](ConfigImage& im) { im.channel(1, 3).setIndex(100'000'000); },
         {{"index-out-of-range", E, T::Channels, 1, 3}}},
        {"deleted index on a live entry",
         [](ConfigImage& im) { im.channel(1, 3).setIndex(0xFFFFFFFF); },
         {{"index-out-of-range", E, T::Channels, 1, 3}}},
        {"highest index", [](ConfigImage& im) { im.channel(1, 3).setIndex(99'999'999); }, {}},
        {"kind of no list",
         [](ConfigImage& im) { im.channel(1, 3).setKind(2); },
         {{"unknown-kind", W, T::Channels, 1, 3}}},
        {"matrix link beyond 32 records",
         [](ConfigImage& im) { im.channel(1, 0).setMatrixLink(40 << 1 | 1); },
         {{"matrix-link-out-of-range", E, T::Channels, 1, 0}}},
        {"matrix link to a free record",
         [](ConfigImage& im) { im.channel(1, 0).setMatrixLink(3 << 1 | 1); },
         {{"matrix-link-free", W, T::Channels, 1, 0}}},
        {"link bits without the link flag",
         [](ConfigImage& im) { im.channel(1, 0).setMatrixLink(40 << 1); },
         {}},
        {"list entry of a free device",
         [](ConfigImage& im) { im.setUserDevice(1, 5, 5); },
         {{"device-not-in-use", E, T::DeviceList, 1, 5}}},
        {"list entry beyond the table",
         [](ConfigImage& im) { im.setUserDevice(1, 5, 3840); },
         {{"slot-out-of-range", E, T::DeviceList, 1, 5}}},
        {"device listed twice",
         [](ConfigImage& im) { im.setUserDevice(1, 9, 0); },
         {{"device-listed-twice", W, T::DeviceList, 1, 9, -1, 0}}},
        {"stream record of a device the operator lacks",
         [](ConfigImage& im) { im.stream(1, 5).setDeviceSlot(3); },
         {{"device-not-assigned", W, T::Streams, 1, 5}}},
        {"stream record away from its list entry",
         [](ConfigImage& im) { im.stream(1, 5).setDeviceSlot(1); },
         {{"stream-misplaced", W, T::Streams, 1, 5, -1, 1}}},
        {"stream record of a free device",
         [](ConfigImage& im) { im.stream(1, 5).setDeviceSlot(5); },
         {{"device-not-in-use", E, T::Streams, 1, 5}}},
        {"stream record beyond the table",
         [](ConfigImage& im) { im.stream(1, 5).setDeviceSlot(70000); },
         {{"slot-out-of-range", E, T::Streams, 1, 5}}},
        {"group cell at an empty entry",
         [](ConfigImage& im) { im.groupRow(1, GroupTable::Input, 3).setSlot(7, 100); },
         {{"group-cell-empty", E, T::InputGroups, 1, 3, 7}}},
        {"output group cell at an input",
         [](ConfigImage& im) { im.groupRow(1, GroupTable::Output, 0).setSlot(1, 1); },
         {{"group-cell-wrong-kind", W, T::OutputGroups, 1, 0, 1}}},
        {"group cell beyond the table",
         [](ConfigImage& im) { im.groupRow(1, GroupTable::Input, 0).setSlot(2, 20480); },
         {{"position-out-of-range", E, T::InputGroups, 1, 0, 2}}},
        {"group cell below -1",
         [](ConfigImage& im) { im.groupRow(1, GroupTable::Output, 15).setSlot(63, -5); },
         {{"position-out-of-range", E, T::OutputGroups, 1, 15, 63}}},
        {"group cell 0 is not judged",
         [](ConfigImage& im) { im.groupRow(1, GroupTable::Output, 2).setSlot(0, 0); },
         {}},
        {"matrix record of a device the operator lacks",
         [](ConfigImage& im) { im.matrix(1, 4).setDeviceSlot(3); },
         {{"device-not-assigned", W, T::Matrix, 1, 4}}},
        {"matrix record of a free device",
         [](ConfigImage& im) { im.matrix(1, 4).setDeviceSlot(5); },
         {{"device-not-in-use", E, T::Matrix, 1, 4}}},
        {"same address and port",
         [](ConfigImage& im) { addDevice(im, 4, packIp(198, 51, 100, 10)); },
         {{"duplicate-address", E, T::Devices, 0, 4, -1, 0}}},
        {"same address, other port",
         [](ConfigImage& im) { addDevice(im, 4, packIp(198, 51, 100, 10), 9000); },
         {{"duplicate-address", W, T::Devices, 0, 4, -1, 0}}},
        {"address 0.0.0.0",
         [](ConfigImage& im) { addDevice(im, 4, 0); },
         {{"address-zero", W, T::Devices, 0, 4}}},
        {"leftovers of a free operator",
         [](ConfigImage& im) { addChannel(im, 3, 7, 5, kInputChannel, 0); },
         {{"free-operator-data", W, T::Operators, 3, 3}}},
        {"a free operator's cleared tables are fine",
         [](ConfigImage& im) {
             im.operatorRecord(2).clear();
             im.clearOperatorTables(2);
         },
         {}},
    };
    return all;
}

TEST(LintTest, CleanFileHasNoFindings) {
    auto image = std::make_unique<ConfigImage>();
    buildClean(*image);
    EXPECT_TRUE(lintImage(*image).empty());
}

TEST(LintTest, EachSeededInconsistencyGivesItsOneFinding) {
    auto image = std::make_unique<ConfigImage>();
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        buildClean(*image);
        c.seed(*image);
        const auto found = lintImage(*image);
        ASSERT_EQ(found.size(), c.expected.size());
        for (std::size_t i = 0; i < found.size(); ++i) {
            const LintFinding& f = found[i];
            const Expected& e = c.expected[i];
            EXPECT_STREQ(f.code, e.code);
            EXPECT_EQ(f.severity, e.severity);
            EXPECT_EQ(f.table, e.table);
            EXPECT_EQ(f.op, e.op);
            EXPECT_EQ(f.index, e.index);
            EXPECT_EQ(f.cell, e.cell);
            EXPECT_EQ(f.related, e.related);
            EXPECT_FALSE(f.text.empty());
            EXPECT_FALSE(lintLocation(f).empty());
        }
    }
}

// Every device in use, every list entry and channel entry of all three operators filled.
void buildFull(ConfigImage& image) {
    buildClean(image);
    image.operatorRecord(3).setInUse(1);
    for (int slot = 0; slot < kDeviceCount; ++slot)
        addDevice(image, slot, packIp(10, slot >> 8 & 0xFF, slot & 0xFF, 1));
    for (int op = 1; op <= 3; ++op) {
        image.clearOperatorTables(op);
        image.resetOperatorDevices(op);
        for (int i = 0; i < kUserDeviceCount; ++i) {
            const int slot = (op - 1) * kUserDeviceCount + i;
            image.setUserDevice(op, i, static_cast<std::int16_t>(slot));
            image.stream(op, i).setDeviceSlot(slot);
        }
        for (int pos = 0; pos < kChannelCount; ++pos) {
            const int slot = (op - 1) * kUserDeviceCount + pos / 16;
            addChannel(image, op, pos, slot, pos % 3 == 0 ? kInputChannel : kOutputChannel,
                       1 + pos);
        }
        for (int row = 0; row < kGroupRows; ++row)
            for (int cell = 0; cell < kGroupSlots; ++cell)
                image.groupRow(op, GroupTable::Input, row).setSlot(cell, 3 * (row * 64 + cell + 1));
    }
}

TEST(LintTest, FullFileIsCleanAndQuick) {
    auto image = std::make_unique<ConfigImage>();
    buildFull(*image);
    const auto start = std::chrono::steady_clock::now();
    const auto found = lintImage(*image);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(found.empty()) << found.front().code << " at " << lintLocation(found.front());
#ifdef NDEBUG
    EXPECT_LT(took, std::chrono::milliseconds(200));
#else
    (void)took;
#endif
}

TEST(LintTest, EveryRepeatOfAnIndexIsReportedAgainstItsFirstUse) {
    auto image = std::make_unique<ConfigImage>();
    buildFull(*image);
    // Operator 2's inputs all carry index 7 and its outputs alternate between 1 and 2.
    int inputs = 0, firstInput = -1;
    for (int pos = 0; pos < kChannelCount; ++pos) {
        ChannelEntry e = image->channel(2, pos);
        if (e.kind() == kInputChannel) {
            e.setIndex(7);
            ++inputs;
            if (firstInput < 0) firstInput = pos;
        } else {
            e.setIndex(1 + pos % 2);
        }
    }
    const auto found = lintImage(*image);
    const int outputs = kChannelCount - inputs;
    ASSERT_EQ(found.size(), static_cast<std::size_t>(inputs - 1 + outputs - 2));
    for (const LintFinding& f : found) {
        ASSERT_STREQ(f.code, "duplicate-index");
        ASSERT_EQ(f.op, 2);
        const ChannelEntry e = image->channel(2, f.index);
        const ChannelEntry first = image->channel(2, f.related);
        EXPECT_LT(f.related, f.index);
        EXPECT_EQ(e.index(), first.index());
        EXPECT_EQ(e.kind(), first.kind());
        if (e.kind() == kInputChannel) {
            EXPECT_EQ(f.related, firstInput);
        }
    }
}

}  // namespace
}  // namespace kbcfg::store
