#include "shell/other.h"

#include "store/messages.h"

namespace kbcfg::shell {

std::string other::reservedLabel() {
    return store::getMessage(183);
}
std::string other::languageLabel() {
    return store::getMessage(184);
}
std::string other::chineseCaption() {
    return store::getMessage(185);
}
std::string other::englishCaption() {
    return "ENGLISH";
}

}  // namespace kbcfg::shell
