#include "cli/info_command.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/hex.h"
#include "cli/json_output.h"
#include "cli/record_names.h"
#include "cli/terminal_host.h"
#include "platform/paths.h"
#include "store/ansi.h"
#include "store/image_counts.h"
#include "store/own_texts.h"

namespace kbcfg::cli {

namespace {

namespace layout = store::layout;
using store::say;
using T = store::OwnText;

std::string operatorLabel(const store::ConfigImage& image, int op) {
    const store::OperatorRecord rec = image.operatorRecord(op);
    if (rec.inUse()) return std::to_string(op) + " " + store::fromAnsi(rec.name());
    return say(T::InfoFreeRecord, {std::to_string(op)});
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
    out["file"] = platform::utf8(file());
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
    const store::ImageCounts counts = store::countImage(image);
    auto& channels = out["channels"] = nlohmann::ordered_json::array();
    for (int op = 1; op < layout::kOperatorCount; ++op) {
        const store::ChannelKinds& c = counts.channels[op];
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
            if (!store::streamBound(s)) continue;
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

    os << say(T::InfoFile, {platform::utf8(file())}) << '\n';
    os << say(T::InfoLayout, {hex(fileVersion(), 6)});
    if (fileVersion() != image.version()) os << say(T::InfoConvertedTo, {hex(image.version(), 6)});
    os << '\n';
    // A failed checksum never gets this far; the load refuses the file.
    os << say(T::InfoChecksum, {hex(image.checksum(), 8), std::to_string(image.length())}) << '\n';

    os << say(T::InfoOperators) << '\n';
    for (int op = 0; op < layout::kOperatorCount; ++op) {
        os << "  " << operatorLabel(image, op);
        if (op == 0) os << say(T::InfoAdministrator);
        os << '\n';
    }

    const store::ImageCounts counts = store::countImage(image);
    os << say(T::InfoDevicesInUse,
              {std::to_string(counts.devices), std::to_string(layout::kDeviceCount)})
       << '\n';
    for (int slot = 0; slot < layout::kDeviceCount; ++slot) {
        const store::DeviceRecord d = image.device(slot);
        if (!d.inUse()) continue;
        os << say(T::InfoDeviceSlot,
                  {std::to_string(slot), store::formatIp(d.ip()) + ':' + std::to_string(d.port()),
                   store::fromAnsi(d.userName()), std::to_string(d.deviceType())})
           << '\n';
    }

    os << say(T::InfoChannels) << '\n';
    for (int op = 1; op < layout::kOperatorCount; ++op) {
        const store::ChannelKinds& c = counts.channels[op];
        os << say(T::InfoChannelKinds,
                  {operatorLabel(image, op), std::to_string(c.inputs), std::to_string(c.outputs),
                   std::to_string(c.scenes), std::to_string(c.walls)});
        if (c.other) os << say(T::InfoUnknownKind, {std::to_string(c.other)});
        os << '\n';
    }

    os << say(T::InfoStreamBindings) << '\n';
    for (int op = 1; op < layout::kOperatorCount; ++op) {
        for (int i = 0; i < layout::kUserDeviceCount; ++i) {
            const store::StreamRecord s = image.stream(op, i);
            if (!store::streamBound(s)) continue;
            os << say(T::InfoStreamBinding,
                      {operatorLabel(image, op), std::to_string(s.deviceSlot()),
                       store::formatIp(s.serverIp()) + ':' + std::to_string(s.serverPort()) + ' ' +
                           protocolName(s.protocol())})
               << '\n';
        }
    }
    if (counts.allStreams() == 0) os << say(T::InfoNone) << '\n';
    os.flush();
    return kExitOk;
}

}  // namespace kbcfg::cli
