// The channel report: three sections (inputs, outputs, TV walls and scenes) of fixed-width text
// lines ending in CR LF, with names fetched from each channel's device.

#include "channels/channel_report.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "channels/userchan.h"
#include "platform/paths.h"
#include "store/ansi.h"
#include "store/messages.h"
#include "store/safe_file.h"

namespace kbcfg::channels {

using store::Outcome;

namespace {

const char* const kRuleA =
    "\t----------------------------------------------------------------------------------------"
    "------\r\n";
const char* const kRuleB =
    "\t------------------------------------------------------------------------------------\r\n";
const char* const kSectionGap = "\r\n\r\n\r\n";
const char* const kInputHeading =
    "\tChannel Index  Channel Name       Device Name     Channel NO.     Device IP        "
    "Device Port\r\n";
const char* const kOutputHeading =
    "\tChannel Index  Channel NO.     Device Name           Device IP          Device "
    "Port\r\n";
const char* const kWallHeading =
    "\tChannel Index  Channel NO.     Device Name            Device IP          Device "
    "Port\r\n";

// The report's sections in the order they are written, by ReportContent::Section.
constexpr ChannelListKind kSectionKinds[] = {ChannelListKind::Input, ChannelListKind::Output,
                                             ChannelListKind::WallScene};
constexpr int kSectionCount = 3;

// printf into a string of whatever length the fields need: values are never cut.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, fmt, args);
    va_end(args);
    std::string out(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
    if (n > 0) std::vsnprintf(out.data(), out.size() + 1, fmt, again);
    va_end(again);
    return out;
}

// A name field of a configuration answer: bytes 4..35, up to the first zero.
std::string nameField(const std::vector<std::uint8_t>& answer) {
    return store::getText(answer.data() + VYX_DEVICE_NAME, VYX_DEVICE_NAME_WIDTH);
}

// The name a report file may have: no folder part, not "." or "..".
bool safeFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\") == std::string::npos;
}

// ---- The text --------------------------------------------------------------------------------

std::string outputName(const ReportLine& line) {
    static constexpr const char* kPorts[] = {"BNC %d", "VGA %d", "HDMI %d", "DVI %d"};
    if (line.outputPort >= 0 && line.outputPort < 4)
        return format(kPorts[line.outputPort], line.number - line.portFirst + 1);
    return format("%d", line.number);
}

std::string wallOrSceneName(const ReportLine& line) {
    return format(line.kind == store::kScene ? "Scene %d" : "TV-Wall %d", line.number);
}

std::string inputSection(const ReportContent& content) {
    std::string text =
        format("\tUser %s's input channels' information\r\n\r\n", content.operatorName.c_str());
    text += kInputHeading;
    text += kRuleA;
    for (const ReportLine& l : content.sections[ReportContent::kInputs]) {
        text += format("\t%-6d         %-16s   %-16s  %-3d           %-16s  %d\r\n", l.index,
                       l.channelName.c_str(), l.deviceName.c_str(), l.number, l.ip.c_str(), l.port);
        text += kRuleA;
    }
    return text;
}

// The output and the wall/scene sections share their columns; only the name column differs.
std::string namedSection(const std::string& title, const char* heading,
                         const std::vector<ReportLine>& lines,
                         std::string (*nameOf)(const ReportLine&)) {
    std::string text = title + heading + kRuleB;
    for (const ReportLine& l : lines) {
        text += format("\t%-6d         %-10s      %-17s     %-16s    %d\r\n", l.index,
                       nameOf(l).c_str(), l.deviceName.c_str(), l.ip.c_str(), l.port);
        text += kRuleB;
    }
    return text;
}

// ---- The devices -----------------------------------------------------------------------------

// The logins of one report run. Each device is logged in to once, when its first channel is
// asked about, and a device whose login failed is not asked again. Whatever is still open when
// the run ends, however it ends, is logged out: those are devices whose last channels fell in a
// section cut short.
class DeviceLogins {
  public:
    DeviceLogins(remote::NetSdk& sdk, const store::ConfigImage& image)
        : sdk_(sdk), image_(image), ids_(store::layout::kDeviceCount, kNotYet) {}
    ~DeviceLogins() {
        for (const int id : ids_)
            if (id >= 0) sdk_.logout(id);
    }
    DeviceLogins(const DeviceLogins&) = delete;
    DeviceLogins& operator=(const DeviceLogins&) = delete;

    // The device's login id, logging in on first use; negative when it cannot be asked.
    int open(int slot) {
        int& id = ids_[static_cast<std::size_t>(slot)];
        if (id == kNotYet) {
            const store::DeviceRecord dev = image_.device(slot);
            remote::LoginInfo info;
            id = sdk_.login(store::toAnsi(store::formatIp(dev.ip())), dev.port(), dev.userName(),
                            dev.password(), info);
            if (id < 0) id = kFailed;
        }
        return id;
    }

    // After the device's last channel in the report.
    void close(int slot) {
        int& id = ids_[static_cast<std::size_t>(slot)];
        if (id >= 0) sdk_.logout(id);
        id = kDone;
    }

  private:
    static constexpr int kNotYet = -3, kDone = -2, kFailed = -1;
    remote::NetSdk& sdk_;
    const store::ConfigImage& image_;
    std::vector<int> ids_;  // by device slot
};

struct Collected {
    ReportContent content;
    std::vector<userchan::ReportGap> gaps;  // in the order the devices failed
};

// Walks the operator's listed channels section by section, asking each channel's device for its
// name (command 100) and, for inputs, the channel's name (command 200).
class ReportQuery {
  public:
    ReportQuery(const store::ConfigImage& image, int op, remote::NetSdk& sdk)
        : image_(image), op_(op), sdk_(sdk), logins_(sdk, image) {
        planLogouts();
    }

    Collected run() {
        for (int section = 0; section < kSectionCount; ++section) collectSection(section);
        return std::move(out_);
    }

  private:
    static int step(int section, int pos) { return section * store::layout::kChannelCount + pos; }

    // Where each device's last channel comes, so that its login ends right after it.
    void planLogouts() {
        for (int section = 0; section < kSectionCount; ++section)
            for (int pos = 0; pos < store::layout::kChannelCount; ++pos) {
                const store::ChannelEntry e = image_.channel(op_, pos);
                if (entryListed(image_, e, kSectionKinds[section]))
                    lastStep_[static_cast<std::size_t>(e.deviceSlot())] = step(section, pos);
            }
    }

    // A device that cannot be asked costs its own channel in the input section, and the rest
    // of the section in the others.
    void collectSection(int section) {
        const ChannelListKind kind = kSectionKinds[section];
        for (int pos = 0; pos < store::layout::kChannelCount; ++pos) {
            const store::ChannelEntry e = image_.channel(op_, pos);
            if (!entryListed(image_, e, kind) || ask(e, section, pos)) continue;
            if (section == ReportContent::kInputs) {
                leaveOut(e.deviceSlot(), 1);
                continue;
            }
            int rest = 0;
            for (int later = pos; later < store::layout::kChannelCount; ++later)
                rest += entryListed(image_, image_.channel(op_, later), kind);
            leaveOut(e.deviceSlot(), rest);
            return;
        }
    }

    // Adds the entry's line with its device's answers; false when the device cannot be asked.
    bool ask(const store::ChannelEntry& e, int section, int pos) {
        const int slot = e.deviceSlot();
        const int id = logins_.open(slot);
        if (id < 0) return false;
        const store::DeviceRecord dev = image_.device(slot);
        ReportLine line;
        line.index = static_cast<std::int32_t>(e.index());
        line.kind = e.kind();
        line.number = e.number();
        line.outputPort = e.outputPort();
        line.portFirst = e.portFirst();
        line.ip = store::formatIp(dev.ip());
        line.port = static_cast<int>(dev.port());
        std::uint32_t returned = 0;
        std::vector<std::uint8_t> deviceAnswer(VYX_DEVICE_NAME_SIZE, 0);
        sdk_.getDeviceConfig(id, VYX_CMD_DEVICE_NAME, e.number(), deviceAnswer, returned);
        line.deviceName = nameField(deviceAnswer);
        if (section == ReportContent::kInputs) {
            std::vector<std::uint8_t> channelAnswer(VYX_CHANNEL_NAME_SIZE, 0);
            sdk_.getDeviceConfig(id, VYX_CMD_CHANNEL_NAME, e.number(), channelAnswer, returned);
            line.channelName = nameField(channelAnswer);
        }
        if (lastStep_[static_cast<std::size_t>(slot)] == step(section, pos)) logins_.close(slot);
        out_.content.sections[static_cast<std::size_t>(section)].push_back(std::move(line));
        return true;
    }

    void leaveOut(int slot, int channels) {
        int& gap = gapOf_[static_cast<std::size_t>(slot)];
        if (gap < 0) {
            const store::DeviceRecord dev = image_.device(slot);
            gap = static_cast<int>(out_.gaps.size());
            out_.gaps.push_back({slot, store::formatIp(dev.ip()), static_cast<int>(dev.port()), 0});
        }
        out_.gaps[static_cast<std::size_t>(gap)].channelsLeftOut += channels;
    }

    const store::ConfigImage& image_;
    const int op_;
    remote::NetSdk& sdk_;
    DeviceLogins logins_;
    std::vector<int> lastStep_ = std::vector<int>(store::layout::kDeviceCount, -1);
    std::vector<int> gapOf_ = std::vector<int>(store::layout::kDeviceCount, -1);
    Collected out_;
};

// The library's init and cleanup around a report run, cleanup on every way out.
class SdkSession {
  public:
    explicit SdkSession(remote::NetSdk& sdk) : sdk_(sdk) { sdk_.init(); }
    ~SdkSession() { sdk_.cleanup(); }
    SdkSession(const SdkSession&) = delete;
    SdkSession& operator=(const SdkSession&) = delete;

  private:
    remote::NetSdk& sdk_;
};

}  // namespace

std::string formatChannelReport(const ReportContent& content) {
    const char* const name = content.operatorName.c_str();
    return inputSection(content) + kSectionGap +
           namedSection(format("\tUser %s's output channels' information\r\n\r\n", name),
                        kOutputHeading, content.sections[ReportContent::kOutputs], outputName) +
           kSectionGap +
           namedSection(format("\tUser %s's TV-Wall/Scenes' information\r\n\r\n", name),
                        kWallHeading, content.sections[ReportContent::kWallsAndScenes],
                        wallOrSceneName);
}

std::optional<int> userchan::reportOperator() {
    if (session_.loggedInUser >= 1 && session_.loggedInUser <= 3) return session_.loggedInUser;
    if (userNameField.empty()) {
        store::showMessage(host_, store::Msg::EnterUserNameFirst);
        return std::nullopt;
    }
    return resolveListedOperator(false);
}

Outcome userchan::writeChannelReport(remote::NetSdk& sdk) {
    reportPath.clear();
    reportGaps.clear();
    const std::optional<int> op = reportOperator();
    if (!op) return Outcome::Refused;
    // The file is named after the record the look-up found, never after raw typed text, and a
    // name that would leave the configuration folder is refused.
    const std::string ansiName = image_.operatorRecord(*op).name();
    const std::string fileName = store::fromAnsi(ansiName);
    if (!safeFileName(fileName)) {
        store::showMessage(host_, store::Msg::ChannelReportCreateFailed);
        return Outcome::Refused;
    }
    const std::filesystem::path path =
        session_.configFolder / platform::fromUtf8(fileName + ".txt");
    // Written through the atomic writer: a planted link at NAME.txt is replaced, never followed,
    // and an interrupted report never leaves half a file.
    store::AtomicFile file(path, store::LinkPolicy::Replace);
    if (!file.ok()) {
        store::showMessage(host_, store::Msg::ChannelReportCreateFailed,
                           path.string() + ": " + file.error());
        return Outcome::Refused;
    }

    const SdkSession library(sdk);
    Collected found = ReportQuery(image_, *op, sdk).run();
    found.content.operatorName = ansiName;
    reportGaps = std::move(found.gaps);
    // One message per failing device, naming it and what it cost the report.
    for (const ReportGap& gap : reportGaps)
        store::showMessage(
            host_, store::Msg::ErrorConnectLabel,
            format("%s:%d (slot %d): %d channel%s left out", gap.ip.c_str(), gap.port, gap.slot,
                   gap.channelsLeftOut, gap.channelsLeftOut == 1 ? "" : "s"));

    const std::string text = formatChannelReport(found.content);
    if (!file.write(text.data(), text.size()) || !file.commit()) {
        store::showMessage(host_, store::Msg::ChannelReportCreateFailed,
                           path.string() + ": " + file.error());
        return Outcome::Refused;
    }
    reportPath = path;
    store::showMessage(host_, store::Msg::ChannelReportSaved);
    return Outcome::Done;
}

}  // namespace kbcfg::channels
