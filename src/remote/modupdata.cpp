#include "remote/modupdata.h"

#include <optional>
#include <system_error>
#include <utility>

#include "platform/paths.h"
#include "store/full_path.h"
#include "store/messages.h"
#include "store/safe_file.h"

namespace kbcfg::remote {

using store::Outcome;

namespace {
// Step code -> its text, in the short and the long form the panel shows in turn.
std::optional<std::pair<store::Msg, store::Msg>> stepText(int code) {
    using store::Msg;
    switch (code) {
        case VYX_PANEL_STEP_ERASE:
            return std::pair{Msg::PanelErasing, Msg::PanelErasingMore};
        case VYX_PANEL_STEP_PREPARE:
            return std::pair{Msg::PanelPreparing, Msg::PanelPreparingMore};
        case VYX_PANEL_STEP_RECEIVE:
            return std::pair{Msg::PanelReceiving, Msg::PanelReceivingMore};
        case VYX_PANEL_STEP_UPDATE:
            return std::pair{Msg::PanelUpdating, Msg::PanelUpdatingMore};
        default:
            return std::nullopt;
    }
}
}  // namespace

modupdata::modupdata(store::Host& host, NetSdk& sdk) : host_(host), sdk_(sdk) {}

modupdata::~modupdata() {
    if (timerStarted_) host_.killTimer(timer_);
}

std::string modupdata::title() {
    return store::getMessage(store::Msg::TitleUpdate);
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
    pathField = platform::utf8(path);
    return true;
}

void modupdata::fail(store::Msg message) {
    sdk_.logoutEx(loginId_);
    loginId_ = -1;
    store::showMessage(host_, message);
}

Outcome modupdata::startUpgrade() {
    if (polling_) return Outcome::Refused;
    if (packagePath.empty()) {
        store::showMessage(host_, store::Msg::ChooseUpdateFileFirst);
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
    const std::optional<std::uintmax_t> fileSize = store::regularFileSize(packagePath);
    const std::uintmax_t size = fileSize.value_or(0);
    if (!fileSize) {
        store::showMessage(host_, store::Msg::OpenUpdateFileFailed);
        sdk_.logoutEx(loginId_);
        return Outcome::Refused;
    }
    if (size == 0) {
        store::showMessage(host_, store::Msg::UpdateFileError);
        sdk_.logoutEx(loginId_);
        return Outcome::Refused;
    }
    if (mode == kFirmware) {
        upgradeHandle_ = sdk_.upgrade(loginId_, packagePath);
        if (upgradeHandle_ < 0) {
            fail(store::Msg::UpdateFailed);
            return Outcome::Refused;
        }
    } else {
        if (size < kPanelMinBytes || size > kPanelMaxBytes) {
            fail(store::Msg::PanelFileIllegal);
            return Outcome::Refused;
        }
        std::uint32_t answer = 0;
        if (sdk_.getEncryptState(loginId_, 1, answer) == 0) {
            fail(store::Msg::PanelUpdateFailed);
            return Outcome::Refused;
        }
        sdk_.setConfigFile(loginId_, packagePath);
        upgradeHandle_ = sdk_.upgrade(loginId_, packagePath);
        if (upgradeHandle_ < 0) {
            fail(store::Msg::PanelUpdateFailed);
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
        } else if (const auto text = stepText(step)) {
            statusText = store::getMessage(longForm_ ? text->second : text->first);
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
                store::showMessage(host_, store::Msg::UpdateSucceeded);
            else
                statusText = store::getMessage(store::Msg::PanelUpdated);
            break;
        case VYX_UPGRADE_FAILED:
            stop();
            finished = false;
            store::showMessage(host_, store::Msg::UpdateFailed);
            break;
        case VYX_UPGRADE_NETWORK_LOST:
            stop();
            finished = false;
            store::showMessage(host_, store::Msg::UpdateStatusLost);
            break;
        case VYX_UPGRADE_LANGUAGE_MISMATCH:
            stop();
            finished = false;
            store::showMessage(host_, store::Msg::UpdateLanguageMismatch);
            break;
        case VYX_UPGRADE_FAILED_EARLY:
            stop();
            finished = false;
            if (mode == kFirmware)
                store::showMessage(host_, store::Msg::UpdateFailed);
            else
                statusText = store::getMessage(store::Msg::PanelUpdateFailed);
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
