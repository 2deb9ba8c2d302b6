#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "store/bytes.h"
#include "store/checksum.h"
#include "store/config_image.h"
#include "store/legacy.h"
#include "support/legacy_files.h"
#include "support/literal_index_base.h"

namespace kbcfg::store::legacy {
namespace {

using testing::FileContent;
using testing::LiteralIndexBaseAllocator;
using testing::makeOldFile;
using testing::oldLayout;
using testing::OldLayout;

constexpr std::uint32_t kOlderVersions[] = {kV130826, kV120716, kV120208,
                                            kV110607, kV110310, kV100901};

// Layouts with 256 list entries and 4096 channels per operator.
bool compactLayout(std::uint32_t v) {
    return v == kV120208 || v == kV110607 || v == kV110310 || v == kV100901;
}
// Layouts whose outputs were numbered in one range, and whose operator flags get normalised.
bool beforeV120208(std::uint32_t v) {
    return v == kV110607 || v == kV110310 || v == kV100901;
}

std::unique_ptr<ConfigImage> convertFile(std::uint32_t version,
                                         const std::vector<std::uint8_t>& file) {
    auto image = std::make_unique<ConfigImage>();
    std::vector<std::uint8_t> intermediate;
    if (version == kV130826) {
        intermediate = file;
    } else if (!convertToIntermediate(version, file, intermediate)) {
        return nullptr;
    }
    if (!convertIntermediate(intermediate, *image)) return nullptr;
    return image;
}

bool sameBytes(const ConfigImage& image, std::size_t at, const std::vector<std::uint8_t>& old,
               std::size_t from, std::size_t size) {
    return std::memcmp(image.bytes().data() + at, old.data() + from, size) == 0;
}

bool allZero(const ConfigImage& image, std::size_t at, std::size_t size) {
    const auto b = image.bytes().subspan(at, size);
    return std::all_of(b.begin(), b.end(), [](std::uint8_t x) { return x == 0; });
}

// Content that every older layout can hold; positions beyond the compact tables are added for
// the full ones.
FileContent richContent(std::uint32_t version) {
    const OldLayout& L = oldLayout(version);
    FileContent c;
    c.noiseSeed = 77;
    c.operators = {
        {.record = 0, .name = "admin", .password = "adminpw"},
        {.record = 2, .name = "op_two", .password = "0123456789abcdef", .inUse = 5, .reserved1 = 7},
        {.record = 3, .name = "gone", .inUse = 0}};
    c.devices = {{.slot = 3,
                  .ip = 0x0A00A8C0,
                  .port = 8001,
                  .user = "u3",
                  .password = "p3",
                  .type = 400,
                  .reserved126 = 9,
                  .reserved127 = 8},
                 {.slot = 7, .ip = 7, .type = 706},
                 {.slot = 10, .ip = 10, .type = 30},
                 {.slot = 3839, .ip = 3839, .type = 166, .inUse = 0}};
    c.lists = {{.op = 1, .i = 0, .slot = 3},
               {.op = 3, .i = 255, .slot = 10},
               {.op = 2, .i = 100, .slot = 7}};
    // Outputs of device 3 on port 7. The first, in thousand 1, makes the first typed device
    // skip to 2000.
    auto port7 = [&c](int position, std::uint32_t index, std::uint16_t number) {
        testing::ChannelData ch{.op = 1, .position = position, .index = index, .deviceSlot = 3};
        ch.number = number;
        ch.kind = 1;
        ch.outputPort = ch.portFirst = 7;
        c.channels.push_back(ch);
    };
    port7(0, 1500, 10);
    int position = 1;
    for (std::uint16_t n : {1, 8, 9, 24, 25, 28, 29, 32, 0, 33, 200}) port7(position++, 10u + n, n);
    c.channels.push_back({.op = 1, .position = 100, .index = 5, .deviceSlot = -2, .number = 3});
    c.channels.push_back({.op = 2,
                          .position = 4095,
                          .index = 99'999'999,
                          .deviceSlot = 10,
                          .number = 10,
                          .outputPort = 7,
                          .portFirst = 7,
                          .matrixLink = 5,
                          .viaStream = 1});
    c.channels.push_back(
        {.op = 3, .position = 17, .index = 77, .deviceSlot = -1, .number = 10, .kind = 1});
    c.channels.push_back(
        {.op = 3, .position = 4095, .index = 42, .deviceSlot = 7, .number = 250, .kind = 3});
    c.groupSlots = {{.output = false, .row = 0, .slot = 0, .value = 0},
                    {.output = false, .row = 47, .slot = 63, .value = 4095},
                    {.output = true, .row = 16, .slot = 1, .value = 2},
                    {.output = true, .row = 31, .slot = 5, .value = 1}};
    c.wordsA = {11, 22, 33};
    c.wordsC = {44, 55, 66};
    if (L.streams != 0) {
        c.streams = {{.op = 1,
                      .i = 0,
                      .deviceSlot = 3,
                      .enabled = 1,
                      .serverIp = 0x01020304,
                      .serverPort = 8554,
                      .protocol = 1},
                     {.op = 3, .i = 255, .deviceSlot = 10}};
        c.matrices = {{.op = 1, .index = 0, .deviceSlot = 3, .cellValue = 100},
                      {.op = 3, .index = 31, .deviceSlot = 10, .cellValue = 7}};
    }
    if (!compactLayout(version)) {
        c.lists.push_back({.op = 2, .i = 1279, .slot = 3});
        c.channels.push_back(
            {.op = 3, .position = 20'479, .index = 5500, .deviceSlot = 7, .number = 2, .kind = 1});
        c.streams.push_back({.op = 2, .i = 1279, .deviceSlot = 7});
    }
    return c;
}

class OlderLayout : public ::testing::TestWithParam<std::uint32_t> {
  protected:
    void SetUp() override {
        version = GetParam();
        L = &oldLayout(version);
        old = makeOldFile(version, richContent(version));
        image = convertFile(version, old);
        ASSERT_NE(image, nullptr);
    }
    std::uint32_t version = 0;
    const OldLayout* L = nullptr;
    std::vector<std::uint8_t> old;
    std::unique_ptr<ConfigImage> image;
};

TEST_P(OlderLayout, HeaderIsCurrentAndChecksumHolds) {
    EXPECT_EQ(image->magic(), layout::kMagic);
    EXPECT_EQ(image->length(), 1'724'892u);
    EXPECT_EQ(image->version(), 0x150420u);
    EXPECT_EQ(image->checksum(), imageChecksum(image->bytes(), 1'724'892));
    EXPECT_EQ(image->bytes()[21], 1);
}

TEST_P(OlderLayout, ConvertingTwiceGivesTheSameBytes) {
    auto again = convertFile(version, old);
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(std::equal(image->bytes().begin(), image->bytes().end(), again->bytes().begin()));
}

TEST_P(OlderLayout, KeyboardParametersAreCarried) {
    const auto& b = image->bytes();
    EXPECT_TRUE(sameBytes(*image, 16, old, 16, 5));  // u32 at 16, byte at 20
    if (!compactLayout(version)) {
        EXPECT_TRUE(sameBytes(*image, 22, old, 22, 384 - 22));
        return;
    }
    EXPECT_EQ(b[22], 0);
    EXPECT_EQ(b[23], 0);
    if (version != kV100901) {
        EXPECT_TRUE(sameBytes(*image, 24, old, 24, 384 - 24));
        return;
    }
    EXPECT_TRUE(sameBytes(*image, 24, old, 24, 343 - 24));
    EXPECT_EQ(b[343], 0);
    EXPECT_TRUE(sameBytes(*image, 344, old, 342, 4));
    EXPECT_TRUE(sameBytes(*image, 348, old, 348, 384 - 348));
}

TEST_P(OlderLayout, OperatorsAreCopiedAndOldFlagsNormalised) {
    EXPECT_EQ(image->operatorRecord(0).name(), "admin");
    EXPECT_EQ(image->operatorRecord(0).password(), "adminpw");
    const OperatorRecord two = image->operatorRecord(2);
    EXPECT_EQ(two.name(), "op_two");
    EXPECT_EQ(two.password(), "0123456789abcdef");
    EXPECT_EQ(two.inUse(), beforeV120208(version) ? 1 : 5);
    EXPECT_EQ(two.data()[1], beforeV120208(version) ? 0 : 7);
    EXPECT_EQ(image->operatorRecord(3).inUse(), 0);
    EXPECT_EQ(image->operatorRecord(3).name(), "gone");
}

TEST_P(OlderLayout, DevicesAreCopiedWithIndexBases) {
    const DeviceRecord d = image->device(3);
    EXPECT_EQ(d.inUse(), 1u);
    EXPECT_EQ(d.ip(), 0x0A00A8C0u);
    EXPECT_EQ(d.port(), 8001);
    EXPECT_EQ(d.userName(), "u3");
    EXPECT_EQ(d.password(), "p3");
    EXPECT_EQ(d.deviceType(), 400);
    EXPECT_EQ(d.data()[126], 0);
    EXPECT_EQ(d.data()[127], 8);
    EXPECT_TRUE(sameBytes(*image, 592 + 132 * 3 + 8, old, L->devices + 128 * 3 + 8, 64));
    // Typed devices in slot order, in use or not; thousand 1 is taken by an output.
    EXPECT_EQ(d.indexBase(), 2000u);
    EXPECT_EQ(image->device(7).indexBase(), 3000u);
    EXPECT_EQ(image->device(10).indexBase(), 0u);
    EXPECT_EQ(image->device(3839).indexBase(), 4000u);
    EXPECT_EQ(image->device(3839).inUse(), 0u);
    EXPECT_EQ(image->device(0).inUse(), 0u);
    EXPECT_EQ(image->device(0).indexBase(), 0u);
}

TEST_P(OlderLayout, DeviceListsSurviveUpToTheirLength) {
    EXPECT_EQ(image->userDevice(1, 0), 3);
    EXPECT_EQ(image->userDevice(3, 255), 10);
    EXPECT_EQ(image->userDevice(2, 100), 7);
    EXPECT_EQ(image->userDevice(1, 1), -1);
    for (int op = 1; op <= 3; ++op) EXPECT_EQ(image->userDevice(op, 256), -1);
    EXPECT_EQ(image->userDevice(2, 1279), compactLayout(version) ? -1 : 3);
    if (compactLayout(version)) {
        for (int op = 1; op <= 3; ++op)
            for (int i = 256; i < 1280; ++i)
                ASSERT_EQ(image->userDevice(op, i), -1) << op << " " << i;
    }
}

TEST_P(OlderLayout, ChannelsAreWidenedAndOldOutputsGetTheirInterface) {
    const ChannelEntry first = image->channel(1, 0);
    EXPECT_EQ(first.index(), 1500u);
    EXPECT_EQ(first.deviceSlot(), 3);
    EXPECT_EQ(first.number(), 10);
    EXPECT_EQ(first.kind(), kOutputChannel);
    if (beforeV120208(version)) {
        EXPECT_EQ(first.outputPort(), kBnc);
        EXPECT_EQ(first.portFirst(), 9);
        EXPECT_EQ(channelDisplayName(first), "BNC2");
    } else {
        EXPECT_EQ(first.outputPort(), 7);
        EXPECT_EQ(first.portFirst(), 7);
    }

    struct Remap {
        int number, port, first;
    };
    const Remap remaps[] = {{1, kVga, 1},    {8, kVga, 1},    {9, kBnc, 9},   {24, kBnc, 9},
                            {25, kHdmi, 25}, {28, kHdmi, 25}, {29, kDvi, 29}, {32, kDvi, 29},
                            {0, 7, 7},       {33, 7, 7},      {200, 7, 7}};
    int position = 1;
    for (const Remap& r : remaps) {
        const ChannelEntry e = image->channel(1, position++);
        EXPECT_EQ(e.number(), r.number);
        EXPECT_EQ(e.outputPort(), beforeV120208(version) ? r.port : 7) << "number " << r.number;
        EXPECT_EQ(e.portFirst(), beforeV120208(version) ? r.first : 7) << "number " << r.number;
    }

    // An input keeps its bytes, whatever its number.
    const ChannelEntry input = image->channel(2, 4095);
    EXPECT_EQ(input.index(), 99'999'999u);
    EXPECT_EQ(input.deviceSlot(), 10);
    EXPECT_EQ(input.kind(), kInputChannel);
    EXPECT_EQ(input.outputPort(), 7);
    EXPECT_EQ(input.portFirst(), 7);
    EXPECT_EQ(input.matrixLink(), 5);
    EXPECT_EQ(input.viaStream(), 1);
    const ChannelEntry scene = image->channel(3, 4095);
    EXPECT_EQ(scene.number(), 250);  // the old byte, zero-extended
    EXPECT_EQ(scene.kind(), kScene);
    for (int k = 13; k < 16; ++k) EXPECT_EQ(scene.data()[k], 0);

    // Entries without a device: taken as they are from 0x120208 on, dropped before.
    const ChannelEntry noDevice = image->channel(3, 17);
    EXPECT_EQ(noDevice.deviceSlot(), -1);
    EXPECT_EQ(noDevice.index(), beforeV120208(version) ? 0u : 77u);
    const ChannelEntry badSlot = image->channel(1, 100);
    EXPECT_EQ(badSlot.deviceSlot(), beforeV120208(version) ? -1 : -2);
    EXPECT_EQ(badSlot.index(), beforeV120208(version) ? 0u : 5u);
}

TEST_P(OlderLayout, OnlyTheFirst4096ChannelsSurviveFromCompactLayouts) {
    if (!compactLayout(version)) {
        EXPECT_EQ(image->channel(3, 20'479).index(), 5500u);
        EXPECT_EQ(image->channel(3, 20'479).deviceSlot(), 7);
        return;
    }
    for (int op = 1; op <= 3; ++op) {
        for (int position = 4096; position < 20'480; ++position) {
            const ChannelEntry e = image->channel(op, position);
            ASSERT_EQ(e.deviceSlot(), -1) << op << " " << position;
            ASSERT_EQ(e.index(), 0u) << op << " " << position;
        }
    }
}

TEST_P(OlderLayout, GroupRowsGetParam10AndTheirSlots) {
    for (int op = 1; op <= 3; ++op) {
        for (int row = 0; row < 16; ++row) {
            ASSERT_EQ(image->groupRow(op, GroupTable::Input, row).param(), 10u);
            ASSERT_EQ(image->groupRow(op, GroupTable::Output, row).param(), 10u);
        }
    }
    EXPECT_EQ(image->groupRow(1, GroupTable::Input, 0).slot(0), 0);
    EXPECT_EQ(image->groupRow(3, GroupTable::Input, 15).slot(63), 4095);
    EXPECT_EQ(image->groupRow(2, GroupTable::Output, 0).slot(1), 2);
    EXPECT_EQ(image->groupRow(2, GroupTable::Output, 15).slot(5), 1);
    EXPECT_EQ(image->groupRow(1, GroupTable::Input, 0).slot(1), -1);
    EXPECT_EQ(image->groupRow(2, GroupTable::Input, 0).slot(1), -1);
}

TEST_P(OlderLayout, ReservedWordsAndBlockBAreCarried) {
    for (int op = 1; op <= 3; ++op) EXPECT_EQ(image->reservedWordA(op), 11u * op);
    EXPECT_TRUE(sameBytes(*image, 1'510'876, old, L->blockB, 16'896));
    for (int op = 1; op <= 3; ++op)
        EXPECT_EQ(image->reservedWordC(op), version == kV100901 ? 2u : 33u + 11u * op);
}

TEST_P(OlderLayout, MatrixStreamAndTailRegions) {
    if (!compactLayout(version)) {
        // From block B on, the file is carried as it is.
        EXPECT_TRUE(sameBytes(*image, 1'510'876, old, L->blockB, old.size() - L->blockB));
        EXPECT_EQ(image->stream(2, 1279).deviceSlot(), 7);
        EXPECT_EQ(image->matrix(3, 31).cellValue(63), 70u);
        return;
    }
    if (version == kV100901) {
        // Its block B runs over words C, the matrices and the first 501 stream records.
        for (int m = 0; m < 96; ++m) {
            ASSERT_EQ(image->matrix(1 + m / 32, m % 32).deviceSlot(), -1);
            ASSERT_TRUE(sameBytes(*image, 1'527'784 + 516 * m + 4, old,
                                  L->blockB + 16'908 + 516 * m + 4, 512));
        }
        for (int i = 0; i < 1280; ++i) ASSERT_EQ(image->stream(1 + i % 3, i).deviceSlot(), -1);
        EXPECT_TRUE(sameBytes(*image, 1'577'320 + 4, old, L->blockB + 66'444 + 4, 32));
        EXPECT_TRUE(sameBytes(*image, 1'577'320 + 36 * 500 + 4, old,
                              L->blockB + 66'444 + 36 * 500 + 4, 32));
        EXPECT_TRUE(allZero(*image, 1'577'320 + 36 * 501 + 4, 32));
    } else {
        EXPECT_TRUE(sameBytes(*image, 1'527'784, old, L->matrices, 49'536));
        EXPECT_EQ(image->matrix(1, 0).deviceSlot(), 3);
        EXPECT_EQ(image->matrix(1, 0).cellRow(63), 8);
        EXPECT_EQ(image->matrix(1, 0).cellValue(1), 101u);
        const StreamRecord s = image->stream(1, 0);
        EXPECT_EQ(s.deviceSlot(), 3);
        EXPECT_EQ(s.enabled(), 1);
        EXPECT_EQ(s.serverIp(), 0x01020304u);
        EXPECT_EQ(s.serverPort(), 8554);
        EXPECT_EQ(s.protocol(), 1);
        EXPECT_EQ(image->stream(3, 255).deviceSlot(), 10);
        for (int op = 1; op <= 3; ++op) {
            EXPECT_TRUE(sameBytes(*image, 1'577'320 + 46'080 * (op - 1), old,
                                  L->streams + 9'216 * (op - 1), 9'216));
            for (int i = 256; i < 1280; ++i) {
                ASSERT_EQ(image->stream(op, i).deviceSlot(), -1);
                ASSERT_TRUE(allZero(*image, 1'577'320 + 46'080 * (op - 1) + 36 * i + 4, 32));
            }
        }
    }

    const auto& b = image->bytes();
    if (version == kV120208) {
        EXPECT_EQ(b[1'716'352], 0);
        EXPECT_TRUE(sameBytes(*image, 1'716'356, old, L->tail272, 272));
        EXPECT_TRUE(sameBytes(*image, 1'716'660, old, L->tail8212, 8'212));
        EXPECT_TRUE(allZero(*image, 1'715'560, 1'716'356 - 1'715'560));
        EXPECT_TRUE(allZero(*image, 1'716'356 + 272, 1'716'660 - 1'716'356 - 272));
        EXPECT_TRUE(allZero(*image, 1'716'660 + 8'212, 1'724'904 - 1'716'660 - 8'212));
    } else {
        EXPECT_EQ(b[1'716'352], 1);
        EXPECT_TRUE(allZero(*image, 1'715'560, 1'716'352 - 1'715'560));
        EXPECT_TRUE(allZero(*image, 1'716'353, 1'724'904 - 1'716'353));
    }
}

INSTANTIATE_TEST_SUITE_P(Legacy, OlderLayout, ::testing::ValuesIn(kOlderVersions),
                         [](const auto& info) {
                             char name[16];
                             std::snprintf(name, sizeof name, "v%06X", info.param);
                             return std::string(name);
                         });

// ---- validation of stage 1 ----

class StageOne : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(StageOne, RefusesBadMagicChecksumAndOversizeLength) {
    const std::uint32_t v = GetParam();
    const std::vector<std::uint8_t> good = makeOldFile(v, testing::sampleContent());
    std::vector<std::uint8_t> out;
    ASSERT_TRUE(convertToIntermediate(v, good, out));
    EXPECT_EQ(out.size(), kIntermediateSize);

    std::vector<std::uint8_t> before(5, 0xAB), kept = before;
    auto bad = good;
    bad[0] ^= 1;
    testing::resealFile(bad);
    EXPECT_FALSE(convertToIntermediate(v, bad, kept));
    EXPECT_EQ(kept, before);

    bad = good;
    bad[700'000] ^= 0x10;
    EXPECT_FALSE(convertToIntermediate(v, bad, kept));
    bad = good;
    bad[4] ^= 1;
    EXPECT_FALSE(convertToIntermediate(v, bad, kept));

    // One byte more than the layout holds, the checksum matching what the file has.
    bad = good;
    testing::resealFile(bad, static_cast<std::uint32_t>(good.size() - 11));
    EXPECT_FALSE(convertToIntermediate(v, bad, kept));
    testing::resealFile(bad, 0xFFFFFFFF);
    EXPECT_FALSE(convertToIntermediate(v, bad, kept));
    EXPECT_EQ(kept, before);

    EXPECT_FALSE(convertToIntermediate(v, {}, kept));
    EXPECT_FALSE(convertToIntermediate(v, std::vector<std::uint8_t>(15, 0), kept));
}

TEST_P(StageOne, ChecksumCoversTheFilesOwnLength) {
    const std::uint32_t v = GetParam();
    auto file = makeOldFile(v, testing::sampleContent());
    testing::resealFile(file, 1000);
    file[600'000] ^= 0x55;  // outside the checked range
    std::vector<std::uint8_t> out;
    EXPECT_TRUE(convertToIntermediate(v, file, out));
}

TEST_P(StageOne, ShortFileReadsZeroPaddedAndLongFileIsCut) {
    const std::uint32_t v = GetParam();
    const auto full = makeOldFile(v, testing::sampleContent());
    std::vector<std::uint8_t> reference, out;
    ASSERT_TRUE(convertToIntermediate(v, full, reference));

    auto longer = full;
    longer.resize(full.size() + 4096, 0xEE);
    ASSERT_TRUE(convertToIntermediate(v, longer, out));
    EXPECT_EQ(out, reference);

    // Cut inside the device table: the checksum over the zero-padded rest is unchanged.
    std::vector<std::uint8_t> cut(full.begin(), full.begin() + 100'000);
    testing::resealFile(cut, static_cast<std::uint32_t>(full.size() - 12));
    ASSERT_TRUE(convertToIntermediate(v, cut, out));
    ConfigImage image;
    ASSERT_TRUE(convertIntermediate(out, image));
    EXPECT_EQ(image.operatorRecord(1).name(), "alice");
    EXPECT_EQ(image.device(0).deviceType(), 400);
    EXPECT_EQ(image.device(1000).inUse(), 0u);
    if (beforeV120208(v)) {
        // A zero entry names device 0, so it is kept as one of its channels.
        EXPECT_EQ(image.channel(3, 4095).deviceSlot(), 0);
        EXPECT_EQ(image.channel(3, 4096).deviceSlot(), -1);
    }
}

INSTANTIATE_TEST_SUITE_P(Legacy, StageOne,
                         ::testing::Values(kV120716, kV120208, kV110607, kV110310, kV100901),
                         [](const auto& info) {
                             char name[16];
                             std::snprintf(name, sizeof name, "v%06X", info.param);
                             return std::string(name);
                         });

TEST(Legacy, LayoutSizesAndStages) {
    EXPECT_EQ(layoutFileSize(kV130826), 1'463'784u);
    EXPECT_EQ(layoutFileSize(kV120716), 1'463'400u);
    EXPECT_EQ(layoutFileSize(kV120208), 1'778'176u);
    EXPECT_EQ(layoutFileSize(kV110607), 1'769'656u);
    EXPECT_EQ(layoutFileSize(kV110310), 1'769'656u);
    EXPECT_EQ(layoutFileSize(kV100901), 1'383'648u);
    EXPECT_EQ(layoutFileSize(0x150420), 0u);
    EXPECT_EQ(layoutFileSize(0), 0u);
    EXPECT_FALSE(needsStageOne(kV130826));
    EXPECT_FALSE(needsStageOne(0x150420));
    EXPECT_TRUE(needsStageOne(kV100901));

    std::vector<std::uint8_t> out;
    const auto current = testing::makeCurrentFile(testing::sampleContent());
    EXPECT_FALSE(convertToIntermediate(0x150420, current, out));
    EXPECT_FALSE(
        convertToIntermediate(kV130826, makeOldFile(kV130826, testing::sampleContent()), out));
    EXPECT_TRUE(out.empty());
}

TEST(Legacy, StageTwoIsSafeOnAnyBytes) {
    ConfigImage image;
    EXPECT_TRUE(convertIntermediate({}, image));
    EXPECT_EQ(image.version(), 0x150420u);
    EXPECT_EQ(image.channel(1, 0).deviceSlot(), 0);

    // Garbage everywhere, device slots of every value included.
    std::vector<std::uint8_t> noise(kIntermediateSize);
    std::mt19937 rng(5);
    for (auto& b : noise) b = static_cast<std::uint8_t>(rng());
    EXPECT_TRUE(convertIntermediate(noise, image));
    EXPECT_EQ(image.checksum(), image.computeChecksum());
    std::vector<std::uint8_t> half(noise.begin(), noise.begin() + 700'001);
    EXPECT_TRUE(convertIntermediate(half, image));
}

// ---- index bases ----

std::vector<std::uint8_t> intermediateWith(const FileContent& c) {
    return makeOldFile(kV130826, c);
}

std::vector<std::uint32_t> basesOf(const FileContent& c, std::initializer_list<int> slots) {
    ConfigImage image;
    EXPECT_TRUE(convertIntermediate(intermediateWith(c), image));
    std::vector<std::uint32_t> out;
    for (int s : slots) out.push_back(image.device(s).indexBase());
    return out;
}

testing::ChannelData output(int position, std::uint32_t index, std::int16_t slot = 0) {
    return {
        .op = 1, .position = position, .index = index, .deviceSlot = slot, .number = 1, .kind = 1};
}

TEST(IndexBase, TypedDevicesGetSuccessiveThousands) {
    FileContent c;
    c.devices = {{.slot = 4, .type = 400}, {.slot = 9, .type = 400}, {.slot = 12, .type = 501}};
    EXPECT_EQ(basesOf(c, {4, 9, 12}), (std::vector<std::uint32_t>{1000, 2000, 3000}));
    for (std::uint16_t type : {166, 400, 501, 701, 706}) EXPECT_TRUE(takesIndexBase(type));
    for (std::uint16_t type : {0, 1, 165, 167, 399, 700, 707}) EXPECT_FALSE(takesIndexBase(type));
}

TEST(IndexBase, SkipsThousandsUsedByOutputsOfDevicesInUse) {
    FileContent c;
    c.devices = {
        {.slot = 0, .type = 30}, {.slot = 1, .type = 400}, {.slot = 2, .type = 30, .inUse = 0}};
    c.channels = {output(0, 1000), output(1, 2999)};
    EXPECT_EQ(basesOf(c, {1}), (std::vector<std::uint32_t>{3000}));

    // Inputs, outputs of free devices and slots outside the table do not count.
    c.channels = {{.op = 1, .position = 0, .index = 1000, .deviceSlot = 0, .kind = 0},
                  output(1, 1001, 2),
                  output(2, 1002, 3840),
                  output(3, 1003, -5),
                  output(4, 1004, 32767),
                  {.op = 2, .position = 0, .index = 1005, .deviceSlot = 0, .kind = 3}};
    EXPECT_EQ(basesOf(c, {1}), (std::vector<std::uint32_t>{1000}));
}

TEST(IndexBase, AnEntryAlreadyPassedIsNotSeenAgain) {
    FileContent c;
    c.devices = {{.slot = 0, .type = 30}, {.slot = 1, .type = 400}, {.slot = 2, .type = 400}};
    // 2000 comes before 1000 in the scan: the first device gets 2000 although it is in use.
    c.channels = {output(0, 2500),
                  {.op = 3, .position = 5, .index = 1200, .deviceSlot = 0, .kind = 1}};
    EXPECT_EQ(basesOf(c, {1, 2}), (std::vector<std::uint32_t>{2000, 3000}));
}

TEST(IndexBase, GivesZeroOncePast999000) {
    FileContent c;
    c.devices = {{.slot = 0, .type = 400}, {.slot = 1, .type = 400}, {.slot = 2, .type = 706}};
    for (int t = 1; t <= 997; ++t) c.channels.push_back(output(t, 1000u * t + 999));
    EXPECT_EQ(basesOf(c, {0, 1, 2}), (std::vector<std::uint32_t>{998'000, 999'000, 0}));
    c.channels.push_back(output(998, 998'000));
    EXPECT_EQ(basesOf(c, {0, 1, 2}), (std::vector<std::uint32_t>{999'000, 0, 0}));
    c.channels.push_back(output(999, 999'000));
    EXPECT_EQ(basesOf(c, {0, 1, 2}), (std::vector<std::uint32_t>{0, 0, 0}));
}

TEST(IndexBase, RestartsForEveryConversion) {
    FileContent c;
    c.devices = {{.slot = 0, .type = 166}, {.slot = 1, .type = 701}};
    const auto inter = intermediateWith(c);
    ConfigImage a, b;
    ASSERT_TRUE(convertIntermediate(inter, a));
    ASSERT_TRUE(convertIntermediate(inter, b));
    EXPECT_EQ(b.device(0).indexBase(), 1000u);
    EXPECT_EQ(b.device(1).indexBase(), 2000u);
    EXPECT_TRUE(std::equal(a.bytes().begin(), a.bytes().end(), b.bytes().begin()));
}

// Random intermediates with dense and sparse outputs over few thousands, so the candidate walks
// and stalls in every pattern; slots of any value, devices in use or not.
std::vector<std::uint8_t> randomIntermediate(std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> in(kIntermediateSize, 0);
    const int devicesInUse = 1 + static_cast<int>(rng() % 3840);
    for (int s = 0; s < 3840; ++s)
        if (static_cast<int>(rng() % 3840) < devicesInUse)
            putU32(in.data() + 592 + 128 * s, 1 + rng() % 5);
    const std::uint32_t density = 1 + rng() % 1000;  // per mille of entries that are outputs
    const std::uint32_t thousands = 2 + rng() % (seed % 4 == 0 ? 1100 : 60);
    for (int e = 0; e < 3 * 20'480; ++e) {
        std::uint8_t* entry = in.data() + 499'804 + 12 * e;
        std::int16_t slot = -1;
        switch (rng() % 8) {
            case 0:
                slot = static_cast<std::int16_t>(rng());
                break;
            case 1:
                slot = -1;
                break;
            default:
                slot = static_cast<std::int16_t>(rng() % 3840);
                break;
        }
        putI16(entry + 4, slot);
        entry[7] = rng() % 1000 < density ? 1 : static_cast<std::uint8_t>(rng() % 5);
        putU32(entry, (rng() % thousands) * 1000 + rng() % 1000);
    }
    return in;
}

TEST(IndexBase, MatchesTheFullRescanOnRandomIntermediates) {
    for (std::uint32_t seed = 1; seed <= 24; ++seed) {
        const auto in = randomIntermediate(seed);
        IndexBaseAllocator fast(in);
        LiteralIndexBaseAllocator literal(in);
        for (int call = 0; call < 40; ++call)
            ASSERT_EQ(fast.allocateIndexBase(), literal.allocateIndexBase())
                << "seed " << seed << " call " << call;
    }
}

TEST(IndexBase, WholeConversionMatchesTheFullRescan) {
    auto in = makeOldFile(kV130826, testing::indexBaseStressContent(400));
    // Thin it out so both sides stay quick, keeping a walk through many thousands.
    for (int s = 0; s < 3840; ++s)
        if (s % 97 != 0) putU16(in.data() + 592 + 128 * s + 124, 0);
    testing::resealFile(in);
    ConfigImage fast, literal;
    ASSERT_TRUE(convertIntermediate(in, fast));
    LiteralIndexBaseAllocator reference(in);
    ASSERT_TRUE(convertIntermediate(in, literal, [&] { return reference.allocateIndexBase(); }));
    EXPECT_TRUE(std::equal(fast.bytes().begin(), fast.bytes().end(), literal.bytes().begin()));
    EXPECT_NE(fast.device(0).indexBase(), 0u);
}

}  // namespace
}  // namespace kbcfg::store::legacy
