#include "cli/discover_command.h"

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/terminal_host.h"
#include "devices/vorpdev.h"
#include "remote/dynamic_discovery.h"
#include "remote/queued_host.h"

namespace kbcfg::cli {

namespace {

using devices::FoundRow;
using devices::vorpdev;

// The list shows numbers as text (the channel count signed); JSON gives them as numbers again.
long number(const std::string& text) {
    return std::strtol(text.c_str(), nullptr, 10);
}

void printRow(const char* event, const FoundRow& row, bool json) {
    if (json) {
        // One object per line, so a script can act on each report as it comes.
        nlohmann::ordered_json line = {{"event", event},
                                       {"row", row[FoundRow::kNumber]},
                                       {"serial", row[FoundRow::kSerial]},
                                       {"ip", row[FoundRow::kIp]},
                                       {"port", number(row[FoundRow::kPort])},
                                       {"mask", row[FoundRow::kMask]},
                                       {"mac", row[FoundRow::kMac]},
                                       {"type", row[FoundRow::kDescription]},
                                       {"channels", number(row[FoundRow::kChannels])},
                                       {"softwareVersion", row[FoundRow::kSoftwareVersion]},
                                       {"dspVersion", row[FoundRow::kDspVersion]},
                                       {"startTime", row[FoundRow::kStartTime]}};
        std::cout << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
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
    app.add_flag("--json", json_, "One JSON object per report");
}

int DiscoverCommand::run(Context& ctx) {
    // The library reports on its own thread; the terminal host's queue is for this thread only.
    remote::QueuedHost host(ctx.host);
    remote::DynamicDiscovery discovery(
        [](const std::string& problem) { std::cerr << "kbcfg: " << problem << std::endl; });
    vorpdev dialog(host, discovery, nullptr);
    dialog.observer = [&](vorpdev::Change change, std::size_t row) {
        switch (change) {
            case vorpdev::Change::Inserted:
                printRow("add", dialog.rows[row], json_);
                break;
            case vorpdev::Change::Updated:
                printRow("update", dialog.rows[row], json_);
                break;
            case vorpdev::Change::AboutToRemove:
                printRow("remove", dialog.rows[row], json_);
                break;
            default:
                break;
        }
    };

    dialog.shown();
    if (!dialog.started) return kExitFailed;  // message 54 said so
    host.runUntil(std::chrono::steady_clock::now() + std::chrono::seconds(seconds_));
    dialog.close();
    host.runPosted();
    return kExitOk;
}

}  // namespace kbcfg::cli
