#include "cli/diff_command.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/json_output.h"
#include "cli/terminal_host.h"
#include "platform/paths.h"
#include "store/config_diff.h"
#include "store/files.h"
#include "store/own_texts.h"
#include "store/text_form.h"

namespace kbcfg::cli {

namespace {

constexpr int kExitDifferent = 1;
constexpr int kExitTrouble = 2;

bool load(Context& ctx, const std::string& path, store::ConfigImage& image) {
    store::SessionState session;
    store::setConfigPaths(session, platform::fromUtf8(path));
    return store::loadImage(ctx.host, session, image) == 0;
}

}  // namespace

DiffCommand::DiffCommand()
    : Command("diff", "List what differs between two configuration files, by meaning") {}

void DiffCommand::setup(CLI::App& app) {
    app.add_option("A", a_, "First configuration file (any known layout)")->required();
    app.add_option("B", b_, "Second configuration file (any known layout)")->required();
    addJsonFlag(app);
}

int DiffCommand::run(Context& ctx) {
    namespace tf = store::textform;
    store::ConfigImage a, b;
    if (!load(ctx, a_, a) || !load(ctx, b_, b)) return kExitTrouble;
    const tf::DiffResult diff = tf::diffImages(a, b);
    if (ctx.host.json()) {
        tf::Json& out = ctx.host.report();
        out["equal"] = diff.equal();
        tf::Json list = tf::Json::array();
        for (const tf::Difference& d : diff.differences) {
            tf::Json o;
            o["region"] = d.region;
            if (d.op) o["operator"] = d.op;
            o["record"] = d.key;
            o["where"] = d.where;
            o["change"] = d.change;
            if (!d.before.empty()) o["before"] = d.before;
            if (!d.after.empty()) o["after"] = d.after;
            list.push_back(std::move(o));
        }
        out["differences"] = std::move(list);
        tf::Json unknown = tf::Json::object();
        for (const tf::UnknownBytes& u : diff.unknown) unknown[u.region] = u.count;
        out["unknownBytes"] = std::move(unknown);
    } else {
        for (const std::string& line : tf::formatDiff(diff)) std::cout << line << '\n';
    }
    return diff.equal() ? kExitOk : kExitDifferent;
}

}  // namespace kbcfg::cli
