#pragma once
// The language page of the main window. The program has one language table in use, so the
// choice is shown but changes nothing.

#include <string>

namespace kbcfg::shell {

class other {
  public:
    enum class Language { Chinese, English };

    static std::string reservedLabel();   // "Functions Reserved:"
    static std::string languageLabel();   // "Language:"
    static std::string chineseCaption();  // "Chinese"
    static std::string englishCaption();  // "ENGLISH"

    // Only the radio buttons follow the choice.
    void choose(Language language) { choice = language; }

    Language choice = Language::English;
};

}  // namespace kbcfg::shell
