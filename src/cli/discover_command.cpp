#include "cli/discover_command.h"

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/json_output.h"
#include "cli/terminal_host.h"
#include "devices/vorpdev.h"
#include "remote/dynamic_discovery.h"
#include "remote/queued_host.h"

namespace kbcfg::cli {

namespace {

using devices::FoundRow;
using devices::vorpdev;

// The list shows numbers as text (the channel count signed); JSON gives them as numbers again.
// The row number stays the list's text ("001") in the report lines, as they always gave it.
nlohmann::ordered_json rowJson(const char* event, const FoundRow& row, bool lines = false) {
    nlohmann::ordered_json out =
        event ? nlohmann::ordered_json{{"event", event}} : nlohmann::ordered_json::object();
    out["row"] = lines ? nlohmann::ordered_json(row[FoundRow::kNumber])
                       : nlohmann::ordered_json(numberOf(row[FoundRow::kNumber]));
    out["serial"] = row[FoundRow::kSerial];
    out["ip"] = row[FoundRow::kIp];
    out["port"] = numberOf(row[FoundRow::kPort]);
    out["mask"] = row[FoundRow::kMask];
    out["mac"] = row[FoundRow::kMac];
    out["type"] = row[FoundRow::kDescription];
    out["channels"] = numberOf(row[FoundRow::kChannels]);
    out["softwareVersion"] = row[FoundRow::kSoftwareVersion];
    out["dspVersion"] = row[FoundRow::kDspVersion];
    out["startTime"] = row[FoundRow::kStartTime];
    return out;
}

void printRow(const char* event, const FoundRow& row, bool jsonLines) {
    if (jsonLines) {
        // One object per line, so a script can act on each report as it comes.
        std::cout << rowJson(event, row, true)
                         .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
                  << std::endl;
        return;
    }
    std::cout << event << ' ' << row[FoundRow::kNumber] << ' ' << row[FoundRow::kIp] << ':'
              << row[FoundRow::kPort] << ' ' << row[FoundRow::kSerial] << ' '
              << row[FoundRow::kDescription] << " mask " << row[FoundRow::kMask] << " mac "
              << row[FoundRow::kMac] << " channels " << row[FoundRow::kChannels] << " version "
              << row[FoundRow::kSoftwareVersion] << std::endl;
}

}  // namespace

DiscoverCommand::DiscoverCommand()
    : Command("discover", "List the devices that answer on the network as they report") {}

void DiscoverCommand::setup(CLI::App& app) {
    app.add_option("--seconds", seconds_, "How long to listen (default 5)")
        ->check(CLI::Range(0, 86'400));
    addJsonFlag(app);
    app.add_flag("--json-lines", jsonLines_, "One JSON object per report, as it arrives")
        ->excludes("--json");
}

int DiscoverCommand::run(Context& ctx) {
    // The library reports on its own thread; the terminal host's queue is for this thread only.
    remote::QueuedHost host(ctx.host);
    remote::DynamicDiscovery discovery(
        [](const std::string& problem) { std::cerr << "kbcfg: " << problem << std::endl; });
    vorpdev dialog(host, discovery, nullptr);
    const bool json = ctx.host.json();
    nlohmann::ordered_json events = nlohmann::ordered_json::array();
    // A flood of reports must not grow the object without bound; the count of the rest is kept.
    constexpr std::size_t kMaxEvents = 10'000;
    long long leftOut = 0;
    dialog.observer = [&](vorpdev::Change change, std::size_t row) {
        const char* event = change == vorpdev::Change::Inserted        ? "add"
                            : change == vorpdev::Change::Updated       ? "update"
                            : change == vorpdev::Change::AboutToRemove ? "remove"
                                                                       : nullptr;
        if (!event) return;
        if (json && events.size() < kMaxEvents)
            events.push_back(rowJson(event, dialog.rows[row]));
        else if (json)
            ++leftOut;
        else
            printRow(event, dialog.rows[row], jsonLines_);
    };

    dialog.shown();
    if (!dialog.started) return kExitFailed;  // message 54 said so
    host.runUntil(std::chrono::steady_clock::now() + std::chrono::seconds(seconds_));
    if (json) {
        // The list as the dialog shows it at the end, then every report that built it.
        auto& out = ctx.host.report();
        out["seconds"] = seconds_;
        auto& devices = out["devices"] = nlohmann::ordered_json::array();
        for (const FoundRow& row : dialog.rows) devices.push_back(rowJson(nullptr, row));
        out["events"] = std::move(events);
        out["eventsLeftOut"] = leftOut;
    }
    dialog.close();
    host.runPosted();
    return kExitOk;
}

}  // namespace kbcfg::cli
