#include <gtest/gtest.h>

#include <vector>

#include "store/checksum.h"

namespace kbcfg::store {
namespace {

TEST(Checksum, AddsLittleEndianWordsAndAnOddLastByte) {
    const std::vector<std::uint8_t> bytes{0x01, 0x02, 0x03};
    EXPECT_EQ(checksumBytes(bytes), 0x0204u);
    EXPECT_EQ(checksumBytes({}), 0u);
    const std::vector<std::uint8_t> ff(4, 0xFF);
    EXPECT_EQ(checksumBytes(ff), 0x1FFFEu);
}

}  // namespace
}  // namespace kbcfg::store
