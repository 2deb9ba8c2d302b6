#include "shell/varnel_dlg.h"

#include "shell/varnel_app.h"
#include "shell/window_titles.h"
#include "store/messages.h"

namespace kbcfg::shell {

using store::getMessage;

CvarnelDlg::CvarnelDlg(store::Host& host, store::SessionState& session)
    : host_(host), session_(session) {}

std::string CvarnelDlg::title() {
    return getMessage(kTitleModes);
}
std::string CvarnelDlg::heading() {
    return getMessage(127);
}
std::string CvarnelDlg::localLabel() {
    return getMessage(128);
}
std::string CvarnelDlg::remoteLabel() {
    return getMessage(129);
}
std::string CvarnelDlg::upgradeLabel() {
    return getMessage(130);
}
std::string CvarnelDlg::aboutItem() {
    return "关于 varnel(&A)...";
}

bool CvarnelDlg::raiseOpenWorkArea(int otherTitle) {
    // The main window first, then the button's own work window. Work windows do not lock the mode
    // dialog (it must stay usable to bring a minimised one back), so any other open work window
    // is brought back as well rather than a second work area opened beside it.
    for (int title : {kTitleMenu, otherTitle, kTitleLogin, kTitleExport, kTitleUpgrade})
        if (host_.raiseWindow(getMessage(title))) return true;
    return false;
}

CvarnelDlg::Open CvarnelDlg::localConfig() {
    session_.mode = 1;
    return raiseOpenWorkArea(kTitleLogin) ? Open::Nothing : Open::Login;
}

CvarnelDlg::Open CvarnelDlg::remoteConfig() {
    session_.mode = 2;
    return raiseOpenWorkArea(kTitleExport) ? Open::Nothing : Open::Export;
}

CvarnelDlg::Open CvarnelDlg::updateKeyboard() {
    return raiseOpenWorkArea(kTitleUpgrade) ? Open::Nothing : Open::Upgrade;
}

bool CvarnelDlg::mayClose() {
    return !raiseOpenWorkArea(kTitleLogin);
}

void CvarnelDlg::destroyed() {
    CvarnelApp::modesDestroyed(session_);
}

std::string CAboutDlg::title() {
    return getMessage(100);
}
std::string CAboutDlg::text() {
    return getMessage(194);
}
std::string CAboutDlg::okCaption() {
    return getMessage(98);
}

}  // namespace kbcfg::shell
