#include "cli/lint_command.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/json_output.h"
#include "cli/terminal_host.h"
#include "platform/paths.h"
#include "store/files.h"
#include "store/lint.h"
#include "store/own_texts.h"

namespace kbcfg::cli {

namespace {

using store::LintTable;
using T = store::OwnText;

const char* tableName(LintTable table) {
    switch (table) {
        case LintTable::Devices:
            return "devices";
        case LintTable::Operators:
            return "operators";
        case LintTable::DeviceList:
            return "deviceList";
        case LintTable::Streams:
            return "streams";
        case LintTable::Channels:
            return "channels";
        case LintTable::InputGroups:
            return "inputGroups";
        case LintTable::OutputGroups:
            return "outputGroups";
        case LintTable::Matrix:
            return "matrix";
    }
    return "";
}

// What the finding's index counts in its table, as the JSON key.
const char* indexKey(LintTable table) {
    switch (table) {
        case LintTable::Devices:
            return "slot";
        case LintTable::Operators:
            return "operator";
        case LintTable::DeviceList:
            return "entry";
        case LintTable::Channels:
            return "position";
        case LintTable::InputGroups:
        case LintTable::OutputGroups:
            return "row";
        case LintTable::Streams:
        case LintTable::Matrix:
            return "record";
    }
    return "index";
}

const char* severityName(store::LintSeverity severity) {
    return severity == store::LintSeverity::Error ? "error" : "warning";
}

nlohmann::ordered_json toJson(const store::LintFinding& f) {
    nlohmann::ordered_json o = {
        {"severity", severityName(f.severity)}, {"code", f.code}, {"table", tableName(f.table)}};
    if (f.table != LintTable::Devices && f.table != LintTable::Operators) o["operator"] = f.op;
    o[indexKey(f.table)] = f.index;
    if (f.cell >= 0) o["cell"] = f.cell;
    if (f.related >= 0) o["related"] = f.related;
    if (f.value) o["value"] = *f.value;
    o["message"] = f.text;
    return o;
}

}  // namespace

LintCommand::LintCommand()
    : Command("lint", "Report what in a configuration file would confuse a keyboard or the lists") {
}

void LintCommand::setup(CLI::App& app) {
    // No existence check here: an unreadable file is reported by the load with its message.
    app.add_option("FILE", file_, "Configuration file (scrambled, any known layout)")->required();
    addJsonFlag(app);
}

int LintCommand::run(Context& ctx) {
    // A reader: no lock, and nothing but the file itself is touched.
    store::setConfigPaths(ctx.session, platform::fromUtf8(file_));
    // A file that cannot be read was not checked: like a usage error, not like a finding.
    if (store::loadImage(ctx.host, ctx.session, ctx.image) != 0) return kExitUsage;

    const std::vector<store::LintFinding> findings = store::lintImage(ctx.image);
    int errors = 0;
    for (const auto& f : findings)
        if (f.severity == store::LintSeverity::Error) ++errors;
    const int warnings = static_cast<int>(findings.size()) - errors;

    if (ctx.host.json()) {
        auto& out = ctx.host.report();
        out["file"] = file_;
        // Counts under names of their own: "errors" is the common array of failure reasons.
        out["errorCount"] = errors;
        out["warningCount"] = warnings;
        auto& list = out["findings"] = nlohmann::ordered_json::array();
        for (const auto& f : findings) list.push_back(toJson(f));
    } else {
        for (const auto& f : findings)
            std::cout << store::say(
                             T::LintFindingLine,
                             {store::say(f.severity == store::LintSeverity::Error ? T::LintError
                                                                                  : T::LintWarning),
                              store::lintLocation(f), f.text, f.code})
                      << '\n';
        std::cout << store::say(T::LintTotals, {store::counted(errors, store::Noun::Error),
                                                store::counted(warnings, store::Noun::Warning)})
                  << '\n';
    }
    return errors > 0 ? kExitFailed : kExitOk;
}

}  // namespace kbcfg::cli
