#pragma once
// The message box every catalogue message is shown in: the text, an information icon, and one
// centred OK or OK and Cancel. What the answer does is decided by askMessage.

#include <string>
#include <string_view>

namespace kbcfg::shell {

class tip {
  public:
    tip(std::string_view messageText, bool withCancel);

    static std::string title();          // "Tips"
    static std::string okCaption();      // "OK"
    static std::string cancelCaption();  // "Cancel"

    std::string text;  // as displayed: a doubled ampersand shows as one
    bool withCancel;
};

// A caption as a plain label displays it: "&&" is one ampersand, a single '&' only marks the
// mnemonic and is not shown.
std::string displayCaption(std::string_view caption);

}  // namespace kbcfg::shell
