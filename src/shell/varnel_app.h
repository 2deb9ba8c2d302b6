#pragma once
// Start-up of the desktop tool: the socket-layer check, the single-instance rule and the end of
// a run. Only one copy runs per user; a second start hands the front to the first copy's main
// or login window, or says that the program is already running.

#include <string>

#include "store/host.h"
#include "store/session.h"

namespace kbcfg::shell {

// What the start-up needs from the platform besides the host.
class StartupPlatform {
  public:
    virtual ~StartupPlatform() = default;
    virtual bool initSocketLayer() = 0;
    // Takes the per-user single-instance guard; false when another copy holds it.
    virtual bool acquireInstance() = 0;
    // Asks the running copy to restore and raise its main or login window; true when it did.
    virtual bool raiseRunningCopy() = 0;
};

// The fixed text shown when the socket layer cannot be used: outside the catalogue, so it says
// it in both languages.
inline constexpr const char* kSocketInitFailedText =
    "网络初始化失败。\nNetwork initialisation failed.";
// The name the single-instance guard goes by.
inline constexpr const char* kInstanceName = "varnel2013";

class CvarnelApp {
  public:
    enum class Start { ShowModes, EndSilently, End };

    // The start-up steps in their order; ShowModes when this copy runs the mode dialog.
    static Start start(store::Host& host, StartupPlatform& platform);

    // In the running copy, for a second start: the main window, else the login window, is
    // restored and raised. False when neither is open.
    static bool raiseRequested(store::Host& host);

    // In the running copy, for a start with a file: true when the login dialog is to open with
    // it; false when a main window is open, which is raised instead (its work is not replaced).
    static bool fileRequested(store::Host& host);

    // The mode dialog is gone: an editing session still open ends with it (its lock is
    // released); nothing is saved.
    static void modesDestroyed(store::SessionState& session);
};

// Whether this machine's socket layer can be used: a socket can be created (nothing is sent).
bool socketLayerUsable();

}  // namespace kbcfg::shell
