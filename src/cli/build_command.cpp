#include "cli/build_command.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>
#include <iostream>

#include "cli/image_output.h"
#include "cli/terminal_host.h"
#include "store/files.h"
#include "store/text_form.h"

namespace kbcfg::cli {

namespace {

// Far above the text form of a full file; a larger input is not one.
constexpr std::size_t kMaxJsonBytes = 256u << 20;

}  // namespace

BuildCommand::BuildCommand()
    : Command("build", "Write a configuration file (current layout) from its JSON text form") {}

void BuildCommand::setup(CLI::App& app) {
    app.add_option("IN", in_, "JSON text form, as export-json writes it")->required();
    app.add_option("OUT", out_, "Configuration file to write (scrambled, current layout)")
        ->required();
    app.add_option("--base", base_,
                   "Configuration file whose passwords a text form without passwords keeps");
}

int BuildCommand::run(Context& ctx) {
    namespace tf = store::textform;
    // Asking for just one byte more than the file holds spares the reader a growing buffer.
    std::error_code ec;
    const auto size = std::filesystem::file_size(in_, ec);
    const std::size_t limit =
        ec ? kMaxJsonBytes + 1 : std::min<std::size_t>(size + 1, kMaxJsonBytes + 1);
    const auto bytes = store::readFileBytes(in_, limit);
    if (!bytes) return fail("cannot read " + in_);
    if (bytes->size() > kMaxJsonBytes) return fail(in_ + ": too large for a text form");
    const std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    const tf::BuildResult built = tf::buildText(text, ctx.image);
    if (!built.ok) return fail(in_ + ": " + built.path + ": " + built.message);

    if (!base_.empty()) {
        store::SessionState session;
        store::setConfigPaths(session, base_);
        store::ConfigImage base;
        if (store::loadImage(ctx.host, session, base) != 0) return kExitFailed;
        if (!built.withPasswords) tf::carryPasswords(base, ctx.image);
    } else if (!built.withPasswords) {
        std::cerr << "kbcfg: " << in_
                  << " carries no passwords; they are left empty (give --base FILE to keep a "
                     "file's passwords)"
                  << std::endl;
    }
    if (!writeScrambledImage(out_, ctx.image)) return fail("cannot write " + out_);
    return kExitOk;
}

}  // namespace kbcfg::cli
