#include "platform/codepage.h"

#include <gtest/gtest.h>

namespace kbcfg::platform {
namespace {

// The names KBCFG_CODEPAGE takes on Linux (iconv's) must name the same code page on Windows.
TEST(CodePage, NamesGiveTheWindowsNumber) {
    const struct {
        const char* name;
        std::optional<unsigned> number;
    } cases[] = {
        {"CP1252", 1252},       {"cp1251", 1251},       {"1252", 1252},
        {"windows-1250", 1250}, {"GBK", 936},           {"GB18030", 54936},
        {"BIG5", 950},          {"Shift_JIS", 932},     {"EUC-KR", 949},
        {"ISO-8859-2", 28592},  {"ISO_8859-15", 28605}, {"latin1", 28591},
        {"UTF-8", 65001},       {"KOI8-R", 20866},      {"NO-SUCH-CODEPAGE", std::nullopt},
        {"", std::nullopt},     {"CP", std::nullopt},   {"ISO-8859-99", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(codePageNumber(c.name), c.number) << c.name;
}

// Every byte of the default code page either stands for a character that converts back to it,
// or for none and reads as '?' (a file reads the same whatever system converts it).
TEST(CodePage, EveryByteOfTheDefaultCodePageGoesBackToItself) {
    for (int b = 0x80; b <= 0xFF; ++b) {
        const std::string byte(1, static_cast<char>(b));
        std::string text, back;
        ASSERT_TRUE(fromCodePage(byte, "CP1252", text));
        ASSERT_TRUE(toCodePage(text, "CP1252", back));
        EXPECT_TRUE(back == byte || (text == "?" && back == "?")) << std::hex << b;
    }
    std::string out;
    EXPECT_FALSE(toCodePage("x", "NO-SUCH-CODEPAGE", out));
}

}  // namespace
}  // namespace kbcfg::platform
