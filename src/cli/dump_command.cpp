#include "cli/dump_command.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/hex.h"
#include "cli/record_names.h"
#include "store/ansi.h"

namespace kbcfg::cli {

namespace {

namespace layout = store::layout;
using Json = nlohmann::ordered_json;

Json header(const store::ConfigImage& image, std::uint32_t fileVersion) {
    return {{"fileVersion", hex(fileVersion, 6)},
            {"magic", hex(image.magic(), 8)},
            {"checksum", hex(image.checksum(), 8)},
            {"length", image.length()},
            {"version", hex(image.version(), 6)}};
}

Json operators(const store::ConfigImage& image, bool withPasswords) {
    Json list = Json::array();
    for (int op = 0; op < layout::kOperatorCount; ++op) {
        const store::OperatorRecord rec = image.operatorRecord(op);
        Json o = {
            {"record", op}, {"inUse", rec.inUse() != 0}, {"name", store::fromAnsi(rec.name())}};
        if (withPasswords) o["password"] = store::fromAnsi(rec.password());
        list.push_back(std::move(o));
    }
    return list;
}

Json devices(const store::ConfigImage& image, bool withPasswords) {
    Json list = Json::array();
    for (int slot = 0; slot < layout::kDeviceCount; ++slot) {
        const store::DeviceRecord d = image.device(slot);
        if (!d.inUse()) continue;
        Json o = {{"slot", slot},
                  {"ip", store::formatIp(d.ip())},
                  {"port", d.port()},
                  {"userName", store::fromAnsi(d.userName())}};
        if (withPasswords) o["password"] = store::fromAnsi(d.password());
        o["deviceType"] = d.deviceType();
        o["indexBase"] = d.indexBase();
        list.push_back(std::move(o));
    }
    return list;
}

Json channel(const store::ChannelEntry& e, int position) {
    Json o = {{"position", position},         {"index", e.index()},
              {"deviceSlot", e.deviceSlot()}, {"kind", kindName(e.kind())},
              {"number", e.number()},         {"name", store::channelDisplayName(e)}};
    if (e.kind() == store::kOutputChannel) {
        o["outputPort"] = e.outputPort();
        o["portFirst"] = e.portFirst();
    }
    if (e.kind() == store::kInputChannel) {
        if (e.matrixLink() & 1) o["matrixRecord"] = e.matrixLink() >> 1;
        o["viaStream"] = e.viaStream() != 0;
    }
    return o;
}

Json groupRows(const store::ConfigImage& image, int op, store::GroupTable table) {
    Json rows = Json::array();
    for (int r = 0; r < layout::kGroupRows; ++r) {
        const store::GroupRow row = image.groupRow(op, table, r);
        Json slots = Json::array();
        for (int i = 0; i < layout::kGroupSlots; ++i)
            if (row.slot(i) != -1) slots.push_back({{"slot", i}, {"position", row.slot(i)}});
        if (slots.empty()) continue;
        rows.push_back({{"row", r}, {"param", row.param()}, {"slots", std::move(slots)}});
    }
    return rows;
}

Json operatorTables(const store::ConfigImage& image, int op) {
    Json deviceList = Json::array();
    Json streams = Json::array();
    for (int i = 0; i < layout::kUserDeviceCount; ++i) {
        if (const int slot = image.userDevice(op, i); slot != -1)
            deviceList.push_back({{"entry", i}, {"deviceSlot", slot}});
        const store::StreamRecord s = image.stream(op, i);
        if (s.deviceSlot() == -1) continue;
        streams.push_back({{"record", i},
                           {"deviceSlot", s.deviceSlot()},
                           {"enabled", s.enabled() != 0},
                           {"serverIp", store::formatIp(s.serverIp())},
                           {"serverPort", s.serverPort()},
                           {"protocol", protocolName(s.protocol())}});
    }
    Json channels = Json::array();
    for (int pos = 0; pos < layout::kChannelCount; ++pos) {
        const store::ChannelEntry e = image.channel(op, pos);
        if (!e.empty()) channels.push_back(channel(e, pos));
    }
    Json matrix = Json::array();
    for (int m = 0; m < layout::kMatrixCount; ++m) {
        const store::MatrixRecord rec = image.matrix(op, m);
        if (rec.deviceSlot() == -1) continue;
        Json cells = Json::array();
        for (int c = 0; c < layout::kMatrixCells; ++c)
            cells.push_back({rec.cellRow(c), rec.cellColumn(c), rec.cellValue(c)});
        matrix.push_back(
            {{"record", m}, {"deviceSlot", rec.deviceSlot()}, {"cells", std::move(cells)}});
    }
    return {{"operator", op},
            {"devices", std::move(deviceList)},
            {"streams", std::move(streams)},
            {"channels", std::move(channels)},
            {"inputGroups", groupRows(image, op, store::GroupTable::Input)},
            {"outputGroups", groupRows(image, op, store::GroupTable::Output)},
            {"matrix", std::move(matrix)}};
}

}  // namespace

DumpCommand::DumpCommand()
    : FileCommand("dump", "Print the decoded content of a configuration file as JSON") {}

void DumpCommand::setup(CLI::App& app) {
    addFileArgument(app, "FILE", "Configuration file (scrambled, any known layout)");
    app.add_flag("--with-passwords", withPasswords_,
                 "Include operator and device passwords (plain text)");
}

int DumpCommand::runLoaded(Context& ctx) {
    const store::ConfigImage& image = ctx.image;
    Json doc;
    doc["header"] = header(image, fileVersion());
    doc["operators"] = operators(image, withPasswords_);
    doc["devices"] = devices(image, withPasswords_);
    Json tables = Json::array();
    for (int op = 1; op < layout::kOperatorCount; ++op) tables.push_back(operatorTables(image, op));
    doc["operatorTables"] = std::move(tables);
    // Names come from the code page conversion; never let a stray byte abort the dump.
    std::cout << doc.dump(2, ' ', false, Json::error_handler_t::replace) << std::endl;
    return kExitOk;
}

}  // namespace kbcfg::cli
