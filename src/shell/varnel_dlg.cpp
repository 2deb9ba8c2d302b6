#include "shell/varnel_dlg.h"

#include "shell/varnel_app.h"
#include "store/messages.h"

namespace kbcfg::shell {

using store::getMessage;

CvarnelDlg::CvarnelDlg(store::Host& host, store::SessionState& session)
    : host_(host), session_(session) {}

std::string CvarnelDlg::title() {
    return getMessage(store::Msg::TitleModes);
}
std::string CvarnelDlg::heading() {
    return getMessage(store::Msg::ProductHeading);
}
std::string CvarnelDlg::localLabel() {
    return getMessage(store::Msg::LocalConfigButton);
}
std::string CvarnelDlg::remoteLabel() {
    return getMessage(store::Msg::RemoteConfigButton);
}
std::string CvarnelDlg::upgradeLabel() {
    return getMessage(store::Msg::UpdateKeyboardButton);
}
std::string CvarnelDlg::aboutItem() {
    return "关于 varnel(&A)...";
}

bool CvarnelDlg::raiseOpenWorkArea(store::Msg otherTitle) {
    // The main window first, then the button's own work window. Work windows do not lock the mode
    // dialog (it must stay usable to bring a minimised one back), so any other open work window
    // is brought back as well rather than a second work area opened beside it.
    using store::Msg;
    for (Msg title :
         {Msg::TitleMenu, otherTitle, Msg::TitleLogin, Msg::TitleRemoteConfig, Msg::TitleUpdate})
        if (host_.raiseWindow(getMessage(title))) return true;
    return false;
}

CvarnelDlg::Open CvarnelDlg::localConfig() {
    session_.mode = 1;
    return raiseOpenWorkArea(store::Msg::TitleLogin) ? Open::Nothing : Open::Login;
}

CvarnelDlg::Open CvarnelDlg::remoteConfig() {
    session_.mode = 2;
    return raiseOpenWorkArea(store::Msg::TitleRemoteConfig) ? Open::Nothing : Open::Export;
}

CvarnelDlg::Open CvarnelDlg::updateKeyboard() {
    return raiseOpenWorkArea(store::Msg::TitleUpdate) ? Open::Nothing : Open::Upgrade;
}

bool CvarnelDlg::mayClose() {
    return !raiseOpenWorkArea(store::Msg::TitleLogin);
}

void CvarnelDlg::destroyed() {
    CvarnelApp::modesDestroyed(session_);
}

}  // namespace kbcfg::shell
