#include "cli/info_command.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/hex.h"
#include "cli/json_output.h"
#include "cli/record_names.h"
#include "cli/terminal_host.h"
#include "store/ansi.h"

namespace kbcfg::cli {

namespace {

namespace layout = store::layout;

struct KindCounts {
    int inputs = 0, outputs = 0, scenes = 0, walls = 0, other = 0;
};

KindCounts countChannels(const store::ConfigImage& image, int op) {
    KindCounts c;
    for (int pos = 0; pos < layout::kChannelCount; ++pos) {
        const store::ChannelEntry e = image.channel(op, pos);
        if (e.empty()) continue;
        switch (e.kind()) {
            case store::kInputChannel:
                ++c.inputs;
                break;
            case store::kOutputChannel:
                ++c.outputs;
                break;
            case store::kScene:
                ++c.scenes;
                break;
            case store::kTvWall:
                ++c.walls;
                break;
            default:
                ++c.other;
                break;
        }
    }
    return c;
}

std::string operatorLabel(const store::ConfigImage& image, int op) {
    const store::OperatorRecord rec = image.operatorRecord(op);
    std::string label = std::to_string(op);
    if (rec.inUse())
        label += " " + store::fromAnsi(rec.name());
    else
        label += " (free)";
    return label;
}

}  // namespace

InfoCommand::InfoCommand() : FileCommand("info", "Summarise a configuration file") {}

void InfoCommand::setup(CLI::App& app) {
    addFileArgument(app, "FILE", "Configuration file (scrambled, any known layout)");
    addJsonFlag(app);
}

void InfoCommand::report(Context& ctx) const {
    const store::ConfigImage& image = ctx.image;
    auto& out = ctx.host.report();
    out["file"] = file().string();
    out["version"] = fileVersion();
    out["versionText"] = hex(fileVersion(), 6);
    out["convertedTo"] = fileVersion() != image.version() ? nlohmann::ordered_json(image.version())
                                                          : nlohmann::ordered_json();
    out["checksum"] = image.checksum();
    out["length"] = image.length();
    auto& operators = out["operators"] = nlohmann::ordered_json::array();
    for (int op = 0; op < layout::kOperatorCount; ++op) {
        const store::OperatorRecord rec = image.operatorRecord(op);
        operators.push_back({{"record", op},
                             {"inUse", rec.inUse() != 0},
                             {"name", rec.inUse() ? store::fromAnsi(rec.name()) : ""},
                             {"administrator", op == 0}});
    }
    auto& devices = out["devices"] = nlohmann::ordered_json::array();
    for (int slot = 0; slot < layout::kDeviceCount; ++slot) {
        const store::DeviceRecord d = image.device(slot);
        if (!d.inUse()) continue;
        devices.push_back({{"slot", slot},
                           {"ip", store::formatIp(d.ip())},
                           {"port", d.port()},
                           {"username", store::fromAnsi(d.userName())},
                           {"type", d.deviceType()}});
    }
    out["deviceCapacity"] = layout::kDeviceCount;
    auto& channels = out["channels"] = nlohmann::ordered_json::array();
    for (int op = 1; op < layout::kOperatorCount; ++op) {
        const KindCounts c = countChannels(image, op);
        channels.push_back({{"record", op},
                            {"input", c.inputs},
                            {"output", c.outputs},
                            {"scene", c.scenes},
                            {"tvWall", c.walls},
                            {"unknown", c.other}});
    }
    auto& bindings = out["streamBindings"] = nlohmann::ordered_json::array();
    for (int op = 1; op < layout::kOperatorCount; ++op) {
        for (int i = 0; i < layout::kUserDeviceCount; ++i) {
            const store::StreamRecord s = image.stream(op, i);
            if (s.deviceSlot() == -1 || !s.enabled()) continue;
            bindings.push_back({{"record", op},
                                {"deviceSlot", s.deviceSlot()},
                                {"serverIp", store::formatIp(s.serverIp())},
                                {"serverPort", s.serverPort()},
                                {"protocol", protocolName(s.protocol())}});
        }
    }
}

int InfoCommand::runLoaded(Context& ctx) {
    if (ctx.host.json()) {
        report(ctx);
        return kExitOk;
    }
    const store::ConfigImage& image = ctx.image;
    std::ostream& os = std::cout;

    os << "File: " << file().string() << '\n';
    os << "Layout: " << hex(fileVersion(), 6);
    if (fileVersion() != image.version()) os << " (converted to " << hex(image.version(), 6) << ")";
    os << '\n';
    // A failed checksum never gets this far; the load refuses the file.
    os << "Checksum: " << hex(image.checksum(), 8) << " valid over " << image.length()
       << " bytes\n";

    os << "Operators:\n";
    for (int op = 0; op < layout::kOperatorCount; ++op) {
        os << "  " << operatorLabel(image, op);
        if (op == 0) os << " (administrator)";
        os << '\n';
    }

    int used = 0;
    for (int slot = 0; slot < layout::kDeviceCount; ++slot)
        if (image.device(slot).inUse()) ++used;
    os << "Devices in use: " << used << " of " << layout::kDeviceCount << '\n';
    for (int slot = 0; slot < layout::kDeviceCount; ++slot) {
        const store::DeviceRecord d = image.device(slot);
        if (!d.inUse()) continue;
        os << "  slot " << slot << ": " << store::formatIp(d.ip()) << ':' << d.port() << " user "
           << store::fromAnsi(d.userName()) << " type " << d.deviceType() << '\n';
    }

    os << "Channels:\n";
    for (int op = 1; op < layout::kOperatorCount; ++op) {
        const KindCounts c = countChannels(image, op);
        os << "  operator " << operatorLabel(image, op) << ": " << c.inputs << " input, "
           << c.outputs << " output, " << c.scenes << " scene, " << c.walls << " TV wall";
        if (c.other) os << ", " << c.other << " of unknown kind";
        os << '\n';
    }

    os << "Stream bindings:\n";
    int bindings = 0;
    for (int op = 1; op < layout::kOperatorCount; ++op) {
        for (int i = 0; i < layout::kUserDeviceCount; ++i) {
            const store::StreamRecord s = image.stream(op, i);
            if (s.deviceSlot() == -1 || !s.enabled()) continue;
            ++bindings;
            os << "  operator " << operatorLabel(image, op) << ", device slot " << s.deviceSlot()
               << ": " << store::formatIp(s.serverIp()) << ':' << s.serverPort() << ' '
               << protocolName(s.protocol()) << '\n';
        }
    }
    if (bindings == 0) os << "  none\n";
    os.flush();
    return kExitOk;
}

}  // namespace kbcfg::cli
