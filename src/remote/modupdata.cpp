#include "remote/modupdata.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <system_error>

#include "store/full_path.h"
#include "store/messages.h"

namespace kbcfg::remote {

using store::Outcome;

namespace msg {
constexpr int kOpenFailed = 44, kLanguageMismatch = 47, kChooseFirst = 50, kFileError = 51,
              kUpdateFailed = 52, kStatusLost = 53, kDone = 182, kPanelDone = 206,
              kPanelFailed = 207, kPanelSize = 209, kTitle = 151;
}

namespace {
// Step code -> short form; the long form is the next message.
int stepText(int code) {
    switch (code) {
        case VYX_PANEL_STEP_ERASE:
            return 198;
        case VYX_PANEL_STEP_PREPARE:
            return 200;
        case VYX_PANEL_STEP_RECEIVE:
            return 202;
        case VYX_PANEL_STEP_UPDATE:
            return 204;
        default:
            return 0;
    }
}
}  // namespace

modupdata::modupdata(store::Host& host, NetSdk& sdk) : host_(host), sdk_(sdk) {}

modupdata::~modupdata() {
    if (timerStarted_) host_.killTimer(timer_);
}

std::string modupdata::title() {
    return store::getMessage(msg::kTitle);
}

void modupdata::onModeChanged(int newMode) {
    mode = newMode == kPanel ? kPanel : kFirmware;
    firmwareRowVisible = mode == kFirmware;
    panelRowVisible = mode == kPanel;
    pathField.clear();
    packagePath.clear();
    progress = 0;
    statusText.clear();
}

bool modupdata::choosePackage() {
    packagePath.clear();
    const auto chosen =
        host_.chooseOpenFile({"All File (*)", mode == kPanel ? "*.hex" : "morvial.dav", "*.*"});
    if (!chosen) {
        pathField.clear();
        return false;
    }
    return usePackage(*chosen);
}

bool modupdata::usePackage(const std::filesystem::path& given) {
    const std::filesystem::path path = store::fullPath(given);
    packagePath.clear();
    if (!checkPathLimits(host_, path)) return false;
    packagePath = path;
    pathField = path.string();
    return true;
}

void modupdata::fail(int message) {
    sdk_.logoutEx(loginId_);
    loginId_ = -1;
    store::showMessage(host_, message);
}

Outcome modupdata::startUpgrade() {
    if (polling_) return Outcome::Refused;
    if (packagePath.empty()) {
        store::showMessage(host_, msg::kChooseFirst);
        return Outcome::Refused;
    }
    if (!keyboard.check(host_, true)) return Outcome::Refused;

    store::WaitCursor wait(host_);
    finished.reset();
    loginId_ = keyboard.login(sdk_);
    if (loginId_ < 0) {
        showLoginFailed(host_, sdk_);
        return Outcome::Refused;
    }
    // Type and size come from the opened file (non-blocking: a FIFO must not hang the dialog).
    struct stat st {};
    const int fd = ::open(packagePath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    const bool readable = fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (fd >= 0) ::close(fd);
    const std::uintmax_t size = readable ? static_cast<std::uintmax_t>(st.st_size) : 0;
    if (!readable) {
        store::showMessage(host_, msg::kOpenFailed);
        sdk_.logoutEx(loginId_);
        return Outcome::Refused;
    }
    if (size == 0) {
        store::showMessage(host_, msg::kFileError);
        sdk_.logoutEx(loginId_);
        return Outcome::Refused;
    }
    if (mode == kFirmware) {
        upgradeHandle_ = sdk_.upgrade(loginId_, packagePath);
        if (upgradeHandle_ < 0) {
            fail(msg::kUpdateFailed);
            return Outcome::Refused;
        }
    } else {
        if (size < kPanelMinBytes || size > kPanelMaxBytes) {
            fail(msg::kPanelSize);
            return Outcome::Refused;
        }
        std::uint32_t answer = 0;
        if (sdk_.getEncryptState(loginId_, 1, answer) == 0) {
            fail(msg::kPanelFailed);
            return Outcome::Refused;
        }
        sdk_.setConfigFile(loginId_, packagePath);
        upgradeHandle_ = sdk_.upgrade(loginId_, packagePath);
        if (upgradeHandle_ < 0) {
            fail(msg::kPanelFailed);
            return Outcome::Refused;
        }
    }
    progress = 0;
    polling_ = true;
    timer_ = host_.startTimer(kPollMs, [this] { pollUpgrade(); });
    timerStarted_ = true;
    return Outcome::Done;
}

void modupdata::stop() {
    host_.killTimer(timer_);
    polling_ = false;
    sdk_.closeUpgradeHandle(upgradeHandle_);
    upgradeHandle_ = -1;
    sdk_.logoutEx(loginId_);
    loginId_ = -1;
}

void modupdata::pollUpgrade() {
    if (!polling_) return;
    store::WaitCursor wait(host_);
    const int state = sdk_.getUpgradeState(upgradeHandle_);
    const int step = sdk_.getUpgradeProgress(upgradeHandle_);
    int ignored = 0;
    sdk_.getUpgradeStep(upgradeHandle_, ignored);
    if (step > 0) {
        if (mode == kFirmware) {
            progress = step > 100 ? 100 : step;
            percentText = std::to_string(step);
        } else if (const int text = stepText(step)) {
            statusText = store::getMessage(longForm_ ? text + 1 : text);
            longForm_ = !longForm_;
        }
    }
    switch (state) {
        case VYX_UPGRADE_DONE:
            progress = 100;
            percentText = "100";
            stop();
            finished = true;
            if (mode == kFirmware)
                store::showMessage(host_, msg::kDone);
            else
                statusText = store::getMessage(msg::kPanelDone);
            break;
        case VYX_UPGRADE_FAILED:
            stop();
            finished = false;
            store::showMessage(host_, msg::kUpdateFailed);
            break;
        case VYX_UPGRADE_NETWORK_LOST:
            stop();
            finished = false;
            store::showMessage(host_, msg::kStatusLost);
            break;
        case VYX_UPGRADE_LANGUAGE_MISMATCH:
            stop();
            finished = false;
            store::showMessage(host_, msg::kLanguageMismatch);
            break;
        case VYX_UPGRADE_FAILED_EARLY:
            stop();
            finished = false;
            if (mode == kFirmware)
                store::showMessage(host_, msg::kUpdateFailed);
            else
                statusText = store::getMessage(msg::kPanelFailed);
            break;
        default:
            break;  // running, or a state that means nothing here
    }
}

void modupdata::cancelUpgradeDialog() {
    if (timerStarted_) {
        host_.killTimer(timer_);
        timerStarted_ = false;
    }
    polling_ = false;
    closeRequested = true;
}

}  // namespace kbcfg::remote
