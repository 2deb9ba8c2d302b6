#include "store/validators.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "store/ansi.h"

namespace kbcfg::store {
namespace {

TEST(Validators, UserName) {
    EXPECT_EQ(checkUserName("admin_01"), 0);
    EXPECT_EQ(checkUserName(std::string(16, 'a')), 0);
    EXPECT_EQ(checkUserName(std::string(17, 'a')), 1);
    EXPECT_EQ(checkUserName(std::string(17, '!')), 1);  // length is judged first
    EXPECT_EQ(checkUserName(""), 3);
    EXPECT_EQ(checkUserName("a b"), 2);
    EXPECT_EQ(checkUserName("a-b"), 2);
    EXPECT_EQ(checkUserName("\xC3\xA9"), 2);  // é is not an ASCII letter
    // Sixteen two-byte characters are sixteen characters.
    std::string accented;
    for (int i = 0; i < 16; ++i) accented += "\xC3\xA9";
    EXPECT_EQ(checkUserName(accented), 2);
    EXPECT_EQ(checkUserName(accented + "x"), 1);
}

TEST(Validators, Password) {
    EXPECT_EQ(checkPassword(" ~pass word!"), 0);
    EXPECT_EQ(checkPassword(std::string(16, '~')), 0);
    EXPECT_EQ(checkPassword(std::string(17, 'p')), 1);
    EXPECT_EQ(checkPassword(""), 3);
    EXPECT_EQ(checkPassword("tab\there"), 2);
    EXPECT_EQ(checkPassword("\x7F"), 2);
    EXPECT_EQ(checkPassword("caf\xC3\xA9"), 2);
}

TEST(Validators, Port) {
    EXPECT_EQ(checkPort("", kDevicePort), 1);
    EXPECT_EQ(checkPort("1999", kDevicePort), 1);
    EXPECT_EQ(checkPort("2000", kDevicePort), 0);
    EXPECT_EQ(checkPort("65535", kDevicePort), 0);
    EXPECT_EQ(checkPort("65536", kDevicePort), 1);
    EXPECT_EQ(checkPort("8000abc", kDevicePort), 0);  // read up to the first non-digit
    EXPECT_EQ(checkPort("abc", kDevicePort), 1);
    EXPECT_EQ(checkPort("99999999999999", kDevicePort), 1);
    EXPECT_EQ(checkPort("1", kStreamPort), 0);
    EXPECT_EQ(checkPort("0", kStreamPort), 1);
    EXPECT_EQ(checkPort("554", kStreamPort), 0);
    EXPECT_EQ(checkPort("65536", kStreamPort), 1);
}

TEST(Validators, Digits) {
    EXPECT_EQ(checkDigits(""), 2);
    EXPECT_EQ(checkDigits("00012"), 0);
    EXPECT_EQ(checkDigits("12a"), 1);
    EXPECT_EQ(checkDigits("-5"), 1);
    EXPECT_EQ(checkDigits(" 5"), 1);
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
    unsetenv("KBCFG_CODEPAGE");
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

    setenv("KBCFG_CODEPAGE", "GBK", 1);
    EXPECT_EQ(toAnsi("\xE4\xB8\xAD"), "\xD6\xD0");
    EXPECT_EQ(fromAnsi("\xD6\xD0"), "\xE4\xB8\xAD");
    EXPECT_EQ(fromAnsi("a\xD6"), "a?");  // a lead byte with nothing after it
    setenv("KBCFG_CODEPAGE", "NO-SUCH-CODEPAGE", 1);
    EXPECT_EQ(toAnsi("caf\xC3\xA9"), "caf\xE9");  // falls back to CP1252
    unsetenv("KBCFG_CODEPAGE");

    EXPECT_EQ(codePointCount("caf\xC3\xA9"), 4u);
    EXPECT_EQ(codePointCount("\xE4\xB8\xAD\xF0\x9F\x98\x80"), 2u);
    EXPECT_EQ(codePointCount("\xC3"), 1u);  // a cut sequence counts as one
}

}  // namespace
}  // namespace kbcfg::store
