#include <gmock/gmock.h>

#include "remote/discovery.h"
#include "support/fake_netsdk.h"

namespace kbcfg::remote {
namespace {

using kbcfg::testing::FoundRecordBuilder;

TEST(FoundRecord, CopiesEveryFieldFromItsOffset) {
    FoundRecordBuilder b;
    b.text(VORP_FOUND_TAG, "TAG")
        .text(VORP_FOUND_SERIAL, "SERIAL")
        .text(VORP_FOUND_MAC, "MAC")
        .text(VORP_FOUND_IP, "1.2.3.4")
        .text(VORP_FOUND_MASK, "255.0.0.0")
        .u32(VORP_FOUND_WORD_112, 0x11223344)
        .u32(VORP_FOUND_PORT, 8000)
        .u32(VORP_FOUND_CHANNELS, 64)
        .u32(VORP_FOUND_WORD_124, 7)
        .text(VORP_FOUND_SOFTWARE, "SW")
        .text(VORP_FOUND_DSP, "DSP")
        .text(VORP_FOUND_START_TIME, "START")
        .u32(VORP_FOUND_EVENT, static_cast<std::uint32_t>(-2))
        .text(VORP_FOUND_DESCRIPTION, "DESC")
        .text(VORP_FOUND_TEXT_300, "T300")
        .text(VORP_FOUND_TEXT_324, "T324")
        .text(VORP_FOUND_TEXT_340, "T340")
        .text(VORP_FOUND_TEXT_386, "T386");
    b.bytes[432] = 1;
    b.bytes[433] = 2;
    b.bytes[434] = 3;
    const auto d = copyFoundRecord(b.bytes);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->tag, "TAG");
    EXPECT_EQ(d->serial, "SERIAL");
    EXPECT_EQ(d->mac, "MAC");
    EXPECT_EQ(d->ip, "1.2.3.4");
    EXPECT_EQ(d->mask, "255.0.0.0");
    EXPECT_EQ(d->word112, 0x11223344u);
    EXPECT_EQ(d->port, 8000u);
    EXPECT_EQ(d->channels, 64u);
    EXPECT_EQ(d->word124, 7u);
    EXPECT_EQ(d->softwareVersion, "SW");
    EXPECT_EQ(d->dspVersion, "DSP");
    EXPECT_EQ(d->startTime, "START");
    EXPECT_EQ(d->event, -2);
    EXPECT_EQ(d->description, "DESC");
    EXPECT_THAT(d->carriedTexts, ::testing::ElementsAre("T300", "T324", "T340", "T386"));
    EXPECT_THAT(d->carriedBytes, ::testing::ElementsAre(1, 2, 3));
}

TEST(FoundRecord, NullAndOverlongTextsAreIgnored) {
    EXPECT_FALSE(copyFoundRecord(nullptr));
    for (int offset :
         {VORP_FOUND_TAG, VORP_FOUND_SERIAL, VORP_FOUND_MAC, VORP_FOUND_IP, VORP_FOUND_MASK,
          VORP_FOUND_SOFTWARE, VORP_FOUND_DSP, VORP_FOUND_START_TIME}) {
        SCOPED_TRACE(offset);
        // 63 characters run on into the next fields but are still accepted...
        auto ok = FoundRecordBuilder::device(1, "S");
        ok.raw(offset, std::string(63, 'x'));
        ok.bytes[offset + 63] = 0;
        EXPECT_TRUE(copyFoundRecord(ok.bytes));
        // ...64 are not.
        auto bad = FoundRecordBuilder::device(1, "S");
        bad.raw(offset, std::string(64, 'x'));
        EXPECT_FALSE(copyFoundRecord(bad.bytes));
    }
    // The description is not measured: it is cut at its field.
    auto desc = FoundRecordBuilder::device(1, "S");
    desc.raw(VORP_FOUND_DESCRIPTION, std::string(100, 'd'));
    ASSERT_TRUE(copyFoundRecord(desc.bytes));
    EXPECT_EQ(copyFoundRecord(desc.bytes)->description, std::string(24, 'd'));
}

TEST(FoundRecord, TextFillingItsFieldStaysOutOfTheNext) {
    auto b = FoundRecordBuilder::device(1, "S");
    b.raw(VORP_FOUND_SERIAL, std::string(48, 's'));  // no terminator: the MAC follows
    b.text(VORP_FOUND_MAC, "00:11");
    b.raw(VORP_FOUND_IP, "203.0.113.100.99");  // 16 characters, its whole field
    const auto d = copyFoundRecord(b.bytes);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->serial, std::string(48, 's'));
    EXPECT_EQ(d->mac, "00:11");
    EXPECT_EQ(d->ip, "203.0.113.100.99");
    EXPECT_EQ(d->mask, "255.255.255.0");
}

}  // namespace
}  // namespace kbcfg::remote
