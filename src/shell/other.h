#pragma once
// The language page of the main window: the choice between the Chinese and the English table of
// the catalogue, which every open window follows at once.

#include <string>

#include "store/messages.h"

namespace kbcfg::shell {

class other {
  public:
    using Language = store::Language;

    static std::string reservedLabel();   // "Functions Reserved:"
    static std::string languageLabel();   // "Language:"
    static std::string chineseCaption();  // "Chinese"
    static std::string englishCaption();  // "ENGLISH"

    // The language in use, which the radio buttons show.
    static Language choice() { return store::MessageCatalogue::current().language(); }
};

}  // namespace kbcfg::shell
