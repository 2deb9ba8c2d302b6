#include "cli/file_command.h"

#include <CLI/CLI.hpp>

#include "cli/terminal_host.h"
#include "platform/paths.h"
#include "store/files.h"

namespace kbcfg::cli {

void FileCommand::addFileArgument(CLI::App& app, const std::string& name, const std::string& help) {
    // No existence check here: a missing file is the catalogue's "Open config file failed!"
    // with status 1, not a usage error.
    app.add_option(name, file_, help)->required();
}

int FileCommand::run(Context& ctx) {
    // A reader: no lock, and nothing but the file itself is touched.
    store::setConfigPaths(ctx.session, file());
    if (store::loadImage(ctx.host, ctx.session, ctx.image, &fileVersion_) != 0) return kExitFailed;
    return runLoaded(ctx);
}

}  // namespace kbcfg::cli
