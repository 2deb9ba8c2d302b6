#pragma once
// The about box.

#include <string>

namespace kbcfg::shell {

struct CAboutDlg {
    static std::string title();      // "About varnel"
    static std::string text();       // "Orvanta,build20130426"
    static std::string okCaption();  // "OK"
};

}  // namespace kbcfg::shell
