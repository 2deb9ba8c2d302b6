#include "shell/varnel_app.h"

#include "platform/network.h"
#include "store/files.h"
#include "store/messages.h"

namespace kbcfg::shell {

CvarnelApp::Start CvarnelApp::start(store::Host& host, StartupPlatform& platform) {
    if (!platform.initSocketLayer()) {
        host.showResourceText(kSocketInitFailedText);
        return Start::End;
    }
    if (!platform.acquireInstance()) {
        if (platform.raiseRunningCopy()) return Start::EndSilently;
        store::showMessage(host, store::Msg::AlreadyRunning);
        return Start::End;
    }
    return Start::ShowModes;
}

bool CvarnelApp::raiseRequested(store::Host& host) {
    return host.raiseWindow(store::getMessage(store::Msg::TitleMenu)) ||
           host.raiseWindow(store::getMessage(store::Msg::TitleLogin));
}

bool CvarnelApp::fileRequested(store::Host& host) {
    return !host.raiseWindow(store::getMessage(store::Msg::TitleMenu));
}

void CvarnelApp::modesDestroyed(store::SessionState& session) {
    store::endEditSession(session);
}

bool socketLayerUsable() {
    return platform::socketsUsable();
}

}  // namespace kbcfg::shell
