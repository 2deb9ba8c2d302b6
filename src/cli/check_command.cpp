#include "cli/check_command.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/hex.h"
#include "cli/json_output.h"
#include "cli/terminal_host.h"
#include "platform/paths.h"

namespace kbcfg::cli {

CheckCommand::CheckCommand()
    : FileCommand("check", "Load a configuration file as the login does and report its layout") {}

void CheckCommand::setup(CLI::App& app) {
    addFileArgument(app, "FILE", "Configuration file (scrambled, any known layout)");
    addJsonFlag(app);
}

int CheckCommand::runLoaded(Context& ctx) {
    if (ctx.host.json()) {
        auto& report = ctx.host.report();
        report["file"] = platform::utf8(file());
        report["version"] = fileVersion();
        report["versionText"] = hex(fileVersion(), 6);
        return kExitOk;
    }
    std::cout << "ok " << hex(fileVersion(), 6) << std::endl;
    return kExitOk;
}

}  // namespace kbcfg::cli
