// The table of the tool's own texts: both languages say each text with the same places, and
// filling them keeps the rest of the pattern as it is.

#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "store/own_texts.h"

namespace kbcfg::store {
namespace {

std::multiset<std::string> placesOf(std::string_view text) {
    static const std::regex place("\\{[0-9]+\\}");
    std::multiset<std::string> places;
    const std::string s(text);
    for (std::sregex_iterator it(s.begin(), s.end(), place), end; it != end; ++it)
        places.insert(it->str());
    return places;
}

TEST(OwnTextsTest, EveryTextHasBothLanguagesWithTheSamePlaces) {
    for (int n = 0; n < static_cast<int>(OwnText::Count); ++n) {
        const auto id = static_cast<OwnText>(n);
        const std::string_view en = ownText(id, Language::English),
                               zh = ownText(id, Language::Chinese);
        SCOPED_TRACE(std::string(en));
        EXPECT_FALSE(en.empty());
        EXPECT_FALSE(zh.empty());
        EXPECT_EQ(placesOf(en), placesOf(zh));
        // Places are numbered 1..9 and each number is used.
        const auto places = placesOf(en);
        for (std::size_t k = 1; k <= std::set<std::string>(places.begin(), places.end()).size();
             ++k)
            EXPECT_TRUE(places.count("{" + std::to_string(k) + "}")) << k;
    }
}

TEST(OwnTextsTest, FillsPlacesInTheirOrderAndMeasuresWideCharacters) {
    EXPECT_EQ(fillPlaces("{2} then {1}, {1} again; {3} stays", {"a", "{2}"}),
              "{2} then a, a again; {3} stays");
    EXPECT_EQ(counted(1, Noun::Keyboard, Language::English), "1 keyboard");
    EXPECT_EQ(counted(20352, Noun::Device, Language::English), "20,352 devices");
    EXPECT_EQ(counted(-1000, Noun::Device, Language::Chinese), "-1,000 台设备");
    EXPECT_EQ(displayWidth("ok 失败"), 7u);
}

}  // namespace
}  // namespace kbcfg::store
