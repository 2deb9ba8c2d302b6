#include "cli/scramble_command.h"

#include <CLI/CLI.hpp>
#include <utility>

#include "cli/terminal_host.h"
#include "platform/paths.h"
#include "store/files.h"

namespace kbcfg::cli {

ScrambleCommand::ScrambleCommand(std::string name, std::string description)
    : Command(std::move(name), std::move(description)) {}

void ScrambleCommand::setup(CLI::App& app) {
    app.add_option("IN", in_, "File to read")->required();
    app.add_option("OUT", out_, "File to write (created or replaced)")->required();
}

int ScrambleCommand::run(Context& ctx) {
    return store::scrambleFile(ctx.host, platform::fromUtf8(in_), platform::fromUtf8(out_)) == 0
               ? kExitOk
               : kExitFailed;
}

}  // namespace kbcfg::cli
