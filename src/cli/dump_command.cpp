#include "cli/dump_command.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "store/image_dump.h"

namespace kbcfg::cli {

DumpCommand::DumpCommand()
    : FileCommand("dump", "Print the decoded content of a configuration file as JSON") {}

void DumpCommand::setup(CLI::App& app) {
    addFileArgument(app, "FILE", "Configuration file (scrambled, any known layout)");
    app.add_flag("--with-passwords", withPasswords_,
                 "Include operator and device passwords (plain text)");
}

int DumpCommand::runLoaded(Context& ctx) {
    const auto doc = store::dumpImage(ctx.image, fileVersion(), withPasswords_);
    // Names come from the code page conversion; never let a stray byte abort the dump.
    std::cout << doc.dump(2, ' ', false, decltype(doc)::error_handler_t::replace) << std::endl;
    return kExitOk;
}

}  // namespace kbcfg::cli
