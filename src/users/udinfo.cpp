#include "users/udinfo.h"

#include "store/messages.h"

namespace kbcfg::users {

std::string udinfo::title() {
    return store::getMessage(store::Msg::TitleTip);
}
std::string udinfo::successLabel() {
    return store::getMessage(store::Msg::SuccessLabel);
}
std::string udinfo::connectLabel() {
    return store::getMessage(store::Msg::ErrorConnectLabel);
}
std::string udinfo::passwordLabel() {
    return store::getMessage(store::Msg::ErrorPasswordLabel);
}

}  // namespace kbcfg::users
