#include "shell/about_dlg.h"

#include "store/messages.h"

namespace kbcfg::shell {

std::string CAboutDlg::title() {
    return store::getMessage(store::Msg::TitleAbout);
}
std::string CAboutDlg::text() {
    return store::getMessage(store::Msg::ProductBuild);
}
std::string CAboutDlg::okCaption() {
    return store::getMessage(store::Msg::OkButton);
}

}  // namespace kbcfg::shell
