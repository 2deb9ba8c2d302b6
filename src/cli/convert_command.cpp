#include "cli/convert_command.h"

#include <CLI/CLI.hpp>

#include "cli/image_output.h"
#include "platform/paths.h"
#include "store/printable.h"

namespace kbcfg::cli {

ConvertCommand::ConvertCommand()
    : FileCommand("convert",
                  "Write a configuration file of any known layout as the current layout") {}

void ConvertCommand::setup(CLI::App& app) {
    addFileArgument(app, "IN", "Configuration file to read (scrambled, any known layout)");
    app.add_option("OUT", out_, "File to write (scrambled, current layout)")->required();
}

int ConvertCommand::runLoaded(Context& ctx) {
    // A current-layout file may carry a shorter length field of its own; the output is the
    // current layout in full.
    ctx.image.stampCurrentHeader();
    ctx.image.updateChecksum();
    std::string why;
    if (!writeScrambledImage(platform::fromUtf8(out_), ctx.image, &why))
        return fail("cannot write " + store::printablePath(out_) + ": " + why);
    return kExitOk;
}

}  // namespace kbcfg::cli
