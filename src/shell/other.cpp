#include "shell/other.h"

#include "store/messages.h"

namespace kbcfg::shell {

std::string other::reservedLabel() {
    return store::getMessage(store::Msg::FunctionsReserved);
}
std::string other::languageLabel() {
    return store::getMessage(store::Msg::LanguageLabel);
}
std::string other::chineseCaption() {
    return store::getMessage(store::Msg::ChineseChoice);
}
std::string other::englishCaption() {
    return "ENGLISH";
}

}  // namespace kbcfg::shell
