// The channel report: three sections (inputs, outputs, TV walls and scenes) of fixed-width text
// lines ending in CR LF, with names fetched from each channel's device.

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "channels/userchan.h"
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

std::string outputName(const store::ChannelEntry& e) {
    static constexpr const char* kPorts[] = {"BNC %d", "VGA %d", "HDMI %d", "DVI %d"};
    if (e.outputPort() < 4) return format(kPorts[e.outputPort()], e.number() - e.portFirst() + 1);
    return format("%d", e.number());
}

}  // namespace

Outcome userchan::writeChannelReport(remote::NetSdk& sdk) {
    reportPath.clear();
    reportGaps.clear();
    int op = 0;
    if (session_.loggedInUser >= 1 && session_.loggedInUser <= 3) {
        op = session_.loggedInUser;
    } else {
        if (userNameField.empty()) {
            store::showMessage(host_, store::Msg::EnterUserNameFirst);
            return Outcome::Refused;
        }
        const std::optional<int> found = resolveListedOperator(false);
        if (!found) return Outcome::Refused;
        op = *found;
    }
    // The file is named after the record the look-up found, never after raw typed text, and a
    // name that would leave the configuration folder is refused.
    const std::string ansiName = image_.operatorRecord(op).name();
    const std::string fileName = store::fromAnsi(ansiName);
    if (!safeFileName(fileName)) {
        store::showMessage(host_, store::Msg::ChannelReportCreateFailed);
        return Outcome::Refused;
    }
    const std::filesystem::path path = session_.configFolder / (fileName + ".txt");
    // Written through the atomic writer: a planted link at NAME.txt is replaced, never followed,
    // and an interrupted report never leaves half a file.
    store::AtomicFile file(path, store::LinkPolicy::Replace);
    if (!file.ok()) {
        store::showMessage(host_, store::Msg::ChannelReportCreateFailed,
                           path.string() + ": " + file.error());
        return Outcome::Refused;
    }
    std::string text;
    auto put = [&](const std::string& line) { text += line; };

    sdk.init();
    // Each device is logged in to once per run, when its first channel is reported, and logged
    // out after its last; a device whose login failed is not asked again. The device name comes
    // with command 100 and, for inputs, the channel name with command 200.
    static constexpr ChannelListKind kSections[] = {ChannelListKind::Input, ChannelListKind::Output,
                                                    ChannelListKind::WallScene};
    auto step = [](int section, int pos) { return section * store::layout::kChannelCount + pos; };
    std::vector<int> lastStep(store::layout::kDeviceCount, -1);
    for (int section = 0; section < 3; ++section)
        for (int pos = 0; pos < store::layout::kChannelCount; ++pos) {
            const store::ChannelEntry e = image_.channel(op, pos);
            if (entryListed(image_, e, kSections[section]))
                lastStep[static_cast<std::size_t>(e.deviceSlot())] = step(section, pos);
        }
    constexpr int kNotYet = -3, kDone = -2, kFailed = -1;
    std::vector<int> handles(store::layout::kDeviceCount, kNotYet);
    std::vector<int> gapOf(store::layout::kDeviceCount, -1);
    auto leaveOut = [&](int slot, int channels) {
        auto& gap = gapOf[static_cast<std::size_t>(slot)];
        if (gap < 0) {
            const store::DeviceRecord dev = image_.device(slot);
            gap = static_cast<int>(reportGaps.size());
            reportGaps.push_back(
                {slot, store::formatIp(dev.ip()), static_cast<int>(dev.port()), 0});
        }
        reportGaps[static_cast<std::size_t>(gap)].channelsLeftOut += channels;
    };

    struct Device {
        bool ok = false;
        std::string name;
        std::string channelName;
    };
    auto query = [&](const store::ChannelEntry& e, int section, int pos) {
        Device d;
        const int slot = e.deviceSlot();
        int& id = handles[static_cast<std::size_t>(slot)];
        if (id == kNotYet) {
            const store::DeviceRecord dev = image_.device(slot);
            remote::LoginInfo info;
            id = sdk.login(store::toAnsi(store::formatIp(dev.ip())), dev.port(), dev.userName(),
                           dev.password(), info);
            if (id < 0) id = kFailed;
        }
        if (id < 0) return d;
        d.ok = true;
        std::uint32_t returned = 0;
        std::vector<std::uint8_t> deviceAnswer(VYX_DEVICE_NAME_SIZE, 0);
        sdk.getDeviceConfig(id, VYX_CMD_DEVICE_NAME, e.number(), deviceAnswer, returned);
        d.name = nameField(deviceAnswer);
        if (section == 0) {
            std::vector<std::uint8_t> channelAnswer(VYX_CHANNEL_NAME_SIZE, 0);
            sdk.getDeviceConfig(id, VYX_CMD_CHANNEL_NAME, e.number(), channelAnswer, returned);
            d.channelName = nameField(channelAnswer);
        }
        if (lastStep[static_cast<std::size_t>(slot)] == step(section, pos)) {
            sdk.logout(id);
            id = kDone;
        }
        return d;
    };
    auto address = [&](const store::ChannelEntry& e) {
        return store::formatIp(image_.device(e.deviceSlot()).ip());
    };
    auto port = [&](const store::ChannelEntry& e) {
        return static_cast<int>(image_.device(e.deviceSlot()).port());
    };

    put(format("\tUser %s's input channels' information\r\n\r\n", ansiName.c_str()));
    put("\tChannel Index  Channel Name       Device Name     Channel NO.     Device IP        "
        "Device Port\r\n");
    put(kRuleA);
    for (int pos = 0; pos < store::layout::kChannelCount; ++pos) {
        const store::ChannelEntry e = image_.channel(op, pos);
        if (!entryListed(image_, e, ChannelListKind::Input)) continue;
        const Device d = query(e, 0, pos);
        if (!d.ok) {
            leaveOut(e.deviceSlot(), 1);
            continue;
        }
        put(format("\t%-6d         %-16s   %-16s  %-3d           %-16s  %d\r\n",
                   static_cast<std::int32_t>(e.index()), d.channelName.c_str(), d.name.c_str(),
                   e.number(), address(e).c_str(), port(e)));
        put(kRuleA);
    }
    put("\r\n\r\n\r\n");

    auto section = [&](int number, auto nameOf) {
        const ChannelListKind kind = kSections[number];
        for (int pos = 0; pos < store::layout::kChannelCount; ++pos) {
            const store::ChannelEntry e = image_.channel(op, pos);
            if (!entryListed(image_, e, kind)) continue;
            const Device d = query(e, number, pos);
            if (!d.ok) {
                // The rest of the section is left out, and counted against this device.
                int rest = 0;
                for (int later = pos; later < store::layout::kChannelCount; ++later)
                    rest += entryListed(image_, image_.channel(op, later), kind);
                leaveOut(e.deviceSlot(), rest);
                return;
            }
            put(format("\t%-6d         %-10s      %-17s     %-16s    %d\r\n",
                       static_cast<std::int32_t>(e.index()), nameOf(e).c_str(), d.name.c_str(),
                       address(e).c_str(), port(e)));
            put(kRuleB);
        }
    };
    put(format("\tUser %s's output channels' information\r\n\r\n", ansiName.c_str()));
    put("\tChannel Index  Channel NO.     Device Name           Device IP          Device "
        "Port\r\n");
    put(kRuleB);
    section(1, outputName);
    put("\r\n\r\n\r\n");

    put(format("\tUser %s's TV-Wall/Scenes' information\r\n\r\n", ansiName.c_str()));
    put("\tChannel Index  Channel NO.     Device Name            Device IP          Device "
        "Port\r\n");
    put(kRuleB);
    section(2, [](const store::ChannelEntry& e) {
        return format(e.kind() == store::kScene ? "Scene %d" : "TV-Wall %d", e.number());
    });

    // Logins still open belong to devices whose last channels fell in a section cut short.
    for (const int id : handles)
        if (id >= 0) sdk.logout(id);
    // One message per failing device, naming it and what it cost the report.
    for (const ReportGap& gap : reportGaps)
        store::showMessage(
            host_, store::Msg::ErrorConnectLabel,
            format("%s:%d (slot %d): %d channel%s left out", gap.ip.c_str(), gap.port, gap.slot,
                   gap.channelsLeftOut, gap.channelsLeftOut == 1 ? "" : "s"));

    if (!file.write(text.data(), text.size()) || !file.commit()) {
        store::showMessage(host_, store::Msg::ChannelReportCreateFailed,
                           path.string() + ": " + file.error());
        sdk.cleanup();
        return Outcome::Refused;
    }
    reportPath = path;
    store::showMessage(host_, store::Msg::ChannelReportSaved);
    sdk.cleanup();
    return Outcome::Done;
}

}  // namespace kbcfg::channels
