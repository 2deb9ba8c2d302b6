#include "cli/change_summary.h"

#include <memory>

#include "store/files.h"
#include "store/host.h"
#include "store/session.h"

namespace kbcfg::cli {

namespace layout = store::layout;

namespace {

// Reading the file back for the counts says nothing: the command's own messages have been shown.
class QuietHost : public store::Host {
  public:
    void showMessage(int, const std::string&) override {}
    store::Answer askOkCancel(int, const std::string&) override { return store::Answer::Cancel; }
    std::optional<std::filesystem::path> chooseOpenFile(const store::FileChoiceRequest&) override {
        return std::nullopt;
    }
    void setWaitCursor(bool) override {}
    void post(std::function<void()>) override {}
    int startTimer(int, std::function<void()>) override { return 0; }
    void killTimer(int) override {}
};

}  // namespace

ImageCounts countImage(const store::ConfigImage& image) {
    ImageCounts c;
    for (int slot = 0; slot < layout::kDeviceCount; ++slot)
        if (image.device(slot).inUse()) ++c.devices;
    for (int op = 1; op < layout::kOperatorCount; ++op) {
        if (image.operatorRecord(op).inUse()) ++c.users;
        for (int i = 0; i < layout::kUserDeviceCount; ++i) {
            if (image.userDevice(op, i) >= 0) ++c.userDevices[op];
            const store::StreamRecord s = image.stream(op, i);
            if (s.deviceSlot() != -1 && s.enabled()) ++c.streams[op];
        }
        for (int pos = 0; pos < layout::kChannelCount; ++pos)
            if (!image.channel(op, pos).empty()) ++c.channels[op];
    }
    return c;
}

std::optional<ImageCounts> countFile(const std::filesystem::path& file) {
    QuietHost host;
    store::SessionState session;
    store::setConfigPaths(session, file);
    auto image = std::make_unique<store::ConfigImage>();
    if (store::loadImage(host, session, *image) != 0) return std::nullopt;
    return countImage(*image);
}

}  // namespace kbcfg::cli
