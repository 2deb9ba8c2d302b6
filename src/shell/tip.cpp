#include "shell/tip.h"

#include "store/messages.h"

namespace kbcfg::shell {

tip::tip(std::string_view messageText, bool withCancel)
    : text(displayCaption(messageText)), withCancel(withCancel) {}

std::string tip::title() {
    return store::getMessage(store::Msg::TitleTips);
}
std::string tip::okCaption() {
    return store::getMessage(store::Msg::OkButton);
}
std::string tip::cancelCaption() {
    return store::getMessage(store::Msg::CancelButton);
}

std::string displayCaption(std::string_view caption) {
    std::string out;
    out.reserve(caption.size());
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] != '&') {
            out += caption[i];
        } else if (i + 1 < caption.size() && caption[i + 1] == '&') {
            out += '&';
            ++i;
        }
    }
    return out;
}

}  // namespace kbcfg::shell
