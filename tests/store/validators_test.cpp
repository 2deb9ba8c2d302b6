#include "store/validators.h"

#include <gtest/gtest.h>

#include "store/ansi.h"
#include "support/env.h"

namespace kbcfg::store {
namespace {

TEST(Validators, UserName) {
    EXPECT_EQ(checkUserName("admin_01"), Check::Ok);
    EXPECT_EQ(checkUserName(std::string(16, 'a')), Check::Ok);
    EXPECT_EQ(checkUserName(std::string(17, 'a')), Check::TooLong);
    EXPECT_EQ(checkUserName(std::string(17, '!')), Check::TooLong);  // length is judged first
    EXPECT_EQ(checkUserName(""), Check::Empty);
    EXPECT_EQ(checkUserName("a b"), Check::BadCharacter);
    EXPECT_EQ(checkUserName("a-b"), Check::BadCharacter);
    EXPECT_EQ(checkUserName("\xC3\xA9"), Check::BadCharacter);  // é is not an ASCII letter
    // Sixteen two-byte characters are sixteen characters.
    std::string accented;
    for (int i = 0; i < 16; ++i) accented += "\xC3\xA9";
    EXPECT_EQ(checkUserName(accented), Check::BadCharacter);
    EXPECT_EQ(checkUserName(accented + "x"), Check::TooLong);
}

TEST(Validators, Password) {
    EXPECT_EQ(checkPassword(" ~pass word!"), Check::Ok);
    EXPECT_EQ(checkPassword(std::string(16, '~')), Check::Ok);
    EXPECT_EQ(checkPassword(std::string(17, 'p')), Check::TooLong);
    EXPECT_EQ(checkPassword(""), Check::Empty);
    EXPECT_EQ(checkPassword("tab\there"), Check::BadCharacter);
    EXPECT_EQ(checkPassword("\x7F"), Check::BadCharacter);
    EXPECT_EQ(checkPassword("caf\xC3\xA9"), Check::BadCharacter);
}

TEST(Validators, Port) {
    EXPECT_EQ(checkPort("", PortKind::Device), Check::OutOfRange);
    EXPECT_EQ(checkPort("1999", PortKind::Device), Check::OutOfRange);
    EXPECT_EQ(checkPort("2000", PortKind::Device), Check::Ok);
    EXPECT_EQ(checkPort("65535", PortKind::Device), Check::Ok);
    EXPECT_EQ(checkPort("65536", PortKind::Device), Check::OutOfRange);
    EXPECT_EQ(checkPort("8000abc", PortKind::Device), Check::Ok);  // read up to the first non-digit
    EXPECT_EQ(checkPort("abc", PortKind::Device), Check::OutOfRange);
    EXPECT_EQ(checkPort("99999999999999", PortKind::Device), Check::OutOfRange);
    EXPECT_EQ(checkPort("1", PortKind::Stream), Check::Ok);
    EXPECT_EQ(checkPort("0", PortKind::Stream), Check::OutOfRange);
    EXPECT_EQ(checkPort("554", PortKind::Stream), Check::Ok);
    EXPECT_EQ(checkPort("65536", PortKind::Stream), Check::OutOfRange);
}

TEST(Validators, Digits) {
    EXPECT_EQ(checkDigits(""), Check::Empty);
    EXPECT_EQ(checkDigits("00012"), Check::Ok);
    EXPECT_EQ(checkDigits("12a"), Check::BadCharacter);
    EXPECT_EQ(checkDigits("-5"), Check::BadCharacter);
    EXPECT_EQ(checkDigits(" 5"), Check::BadCharacter);
}

TEST(Validators, ReadNumber) {
    EXPECT_EQ(readNumber("  42xyz"), 42);
    EXPECT_EQ(readNumber("-17"), -17);
    EXPECT_EQ(readNumber("+8"), 8);
    EXPECT_EQ(readNumber("--8"), 0);
    EXPECT_EQ(readNumber("- 8"), 0);
    EXPECT_EQ(readNumber(""), 0);
    EXPECT_EQ(readNumber("x1"), 0);
    EXPECT_EQ(readNumber("00000012"), 12);
    EXPECT_EQ(readNumber("2147483647"), 2147483647);
    EXPECT_EQ(readNumber("2147483648"), 2147483647);
    EXPECT_EQ(readNumber("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(readNumber("-99999999999999999999999"), -2147483647 - 1);
    EXPECT_EQ(readNumber("\t\n 7"), 7);
}

TEST(Ansi, ConvertsThroughTheCodePage) {
    kbcfg::testing::unsetEnv("KBCFG_CODEPAGE");
    EXPECT_EQ(codePage(), "CP1252");
    EXPECT_EQ(toAnsi("caf\xC3\xA9"), "caf\xE9");
    EXPECT_EQ(fromAnsi("caf\xE9"), "caf\xC3\xA9");
    EXPECT_EQ(toAnsi("\xE2\x82\xAC"), "\x80");  // the euro sign is in CP1252
    EXPECT_EQ(toAnsi("a\xE4\xB8\xAD"
                     "b"),
              "a?b");  // a CJK character is not
    EXPECT_EQ(toAnsi("x\xFF"
                     "y"),
              "x?y");                  // invalid UTF-8 is replaced too
    EXPECT_EQ(fromAnsi("\x81"), "?");  // an undefined CP1252 byte

    kbcfg::testing::setEnv("KBCFG_CODEPAGE", "GBK");
    EXPECT_EQ(toAnsi("\xE4\xB8\xAD"), "\xD6\xD0");
    EXPECT_EQ(fromAnsi("\xD6\xD0"), "\xE4\xB8\xAD");
    EXPECT_EQ(fromAnsi("a\xD6"), "a?");  // a lead byte with nothing after it
    kbcfg::testing::setEnv("KBCFG_CODEPAGE", "NO-SUCH-CODEPAGE");
    EXPECT_EQ(toAnsi("caf\xC3\xA9"), "caf\xE9");  // falls back to CP1252
    kbcfg::testing::unsetEnv("KBCFG_CODEPAGE");

    EXPECT_EQ(codePointCount("caf\xC3\xA9"), 4u);
    EXPECT_EQ(codePointCount("\xE4\xB8\xAD\xF0\x9F\x98\x80"), 2u);
    EXPECT_EQ(codePointCount("\xC3"), 1u);  // a cut sequence counts as one
}

}  // namespace
}  // namespace kbcfg::store
