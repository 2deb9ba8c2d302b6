#pragma once
// The mode dialog ("Modes"): three buttons, each opening one work area, and the about box. Only
// one work area is open at a time: while one of its windows exists, a button only brings it to
// the front.

#include <string>

#include "store/host.h"
#include "store/session.h"

namespace kbcfg::shell {

class CvarnelDlg {
  public:
    // What the view is to open after a button.
    enum class Open { Nothing, Login, Export, Upgrade };

    CvarnelDlg(store::Host& host, store::SessionState& session);

    // Captions from the catalogue.
    static std::string title();         // "Modes"
    static std::string heading();       // "Orvanta"
    static std::string localLabel();    // "Local Config File"
    static std::string remoteLabel();   // "Remote Config File"
    static std::string upgradeLabel();  // "Update Keyboard"
    static std::string aboutItem();     // the window menu's about entry

    Open localConfig();
    Open remoteConfig();
    // Leaves the session's mode as it is.
    Open updateKeyboard();

    // Escape or the close box: the dialog may close (ending the run) only when no work window
    // is open; otherwise the open one is brought to the front and the dialog stays.
    bool mayClose();

    // The dialog is gone: the end of the run.
    void destroyed();

  private:
    // Raises the main window, else the window titled `other`; true when one was raised.
    bool raiseOpenWorkArea(store::Msg otherTitle);

    store::Host& host_;
    store::SessionState& session_;
};

}  // namespace kbcfg::shell
