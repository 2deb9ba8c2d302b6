#include "cli/check_command.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/hex.h"

namespace kbcfg::cli {

CheckCommand::CheckCommand()
    : FileCommand("check", "Load a configuration file as the login does and report its layout") {}

void CheckCommand::setup(CLI::App& app) {
    addFileArgument(app, "FILE", "Configuration file (scrambled, any known layout)");
}

int CheckCommand::runLoaded(Context&) {
    std::cout << "ok " << hex(fileVersion(), 6) << std::endl;
    return kExitOk;
}

}  // namespace kbcfg::cli
