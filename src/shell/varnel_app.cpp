#include "shell/varnel_app.h"

#include <sys/socket.h>
#include <unistd.h>

#include "shell/window_titles.h"
#include "store/files.h"
#include "store/messages.h"

namespace kbcfg::shell {

namespace {
constexpr int kAlreadyRunning = 33;  // "The program is already running!"
}

CvarnelApp::Start CvarnelApp::start(store::Host& host, StartupPlatform& platform) {
    if (!platform.initSocketLayer()) {
        host.showResourceText(kSocketInitFailedText);
        return Start::End;
    }
    if (!platform.acquireInstance()) {
        if (platform.raiseRunningCopy()) return Start::EndSilently;
        store::showMessage(host, kAlreadyRunning);
        return Start::End;
    }
    return Start::ShowModes;
}

bool CvarnelApp::raiseRequested(store::Host& host) {
    return host.raiseWindow(store::getMessage(kTitleMenu)) ||
           host.raiseWindow(store::getMessage(kTitleLogin));
}

bool CvarnelApp::fileRequested(store::Host& host) {
    return !host.raiseWindow(store::getMessage(kTitleMenu));
}

void CvarnelApp::modesDestroyed(store::SessionState& session) {
    store::endEditSession(session);
}

bool socketLayerUsable() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

}  // namespace kbcfg::shell
