#include "store/ipv4_fields.h"

#include <gtest/gtest.h>

#include "store/config_image.h"

namespace kbcfg::store {
namespace {

TEST(Ipv4Fields, ParsesTypedAddressesWithBlankOctets) {
    auto full = Ipv4Fields::parse("198.51.100.7");
    ASSERT_TRUE(full);
    EXPECT_TRUE(full->complete());
    EXPECT_EQ(full->packed(), packIp(198, 51, 100, 7));
    EXPECT_EQ(Ipv4Fields::fromPacked(full->packed()), *full);

    auto gap = Ipv4Fields::parse("10.0..5");
    ASSERT_TRUE(gap);
    EXPECT_FALSE(gap->complete());
    EXPECT_FALSE(gap->octets[2]);
    EXPECT_EQ(gap->toString(), "10.0..5");
    auto none = Ipv4Fields::parse("...");
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->blank());

    for (const char* bad :
         {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.x", "1.2.3.0004", "-1.2.3.4"})
        EXPECT_FALSE(Ipv4Fields::parse(bad)) << bad;
}

}  // namespace
}  // namespace kbcfg::store
