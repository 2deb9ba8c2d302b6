#pragma once
// The upgrade dialog: sends a firmware package (or a panel program) to a keyboard and follows
// the keyboard's progress with a 500 ms poll until it reports an end state.

#include <filesystem>
#include <optional>
#include <string>

#include "remote/keyboard_fields.h"
#include "remote/netsdk.h"
#include "store/host.h"
#include "store/outcome.h"

namespace kbcfg::remote {

class modupdata {
  public:
    enum Mode { kFirmware = 0, kPanel = 1 };
    static constexpr int kPollMs = 500;
    static constexpr std::uintmax_t kPanelMinBytes = 1024, kPanelMaxBytes = 102'400;

    modupdata(store::Host& host, NetSdk& sdk);
    ~modupdata();
    modupdata(const modupdata&) = delete;
    modupdata& operator=(const modupdata&) = delete;

    static std::string title();  // "Update Keyboard"

    void onModeChanged(int newMode);
    // The "..." button; false when cancelled or refused.
    bool choosePackage();
    bool usePackage(const std::filesystem::path& path);
    // "Update": every check in its order, the login, the send; then the polling starts.
    store::Outcome startUpgrade();
    // One tick of the poll.
    void pollUpgrade();
    // "Cancel": stops the polling and closes (a running upgrade is left to the keyboard).
    void cancelUpgradeDialog();

    bool running() const { return polling_; }
    // "Update" is refused while an upgrade runs, so a second start cannot leak the first's handles.
    bool updateEnabled() const { return !polling_; }
    // How the last upgrade ended: true success, false failure, nullopt while none ended.
    std::optional<bool> finished;

    // The fields as the user sees them.
    int mode = kFirmware;
    std::string pathField;
    std::filesystem::path packagePath;
    KeyboardFields keyboard;
    int progress = 0;               // the bar, 0..100
    std::string percentText = "0";  // followed by "%"
    std::string statusText;         // the panel's status line
    bool firmwareRowVisible = true;
    bool panelRowVisible = false;
    bool closeRequested = false;

  private:
    void stop();
    void fail(store::Msg message);

    store::Host& host_;
    NetSdk& sdk_;
    int loginId_ = -1;
    int upgradeHandle_ = -1;
    int timer_ = 0;
    bool timerStarted_ = false;
    bool polling_ = false;
    bool longForm_ = false;  // the dots alternate across all step codes
};

}  // namespace kbcfg::remote
