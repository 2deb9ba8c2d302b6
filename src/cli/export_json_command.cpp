#include "cli/export_json_command.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "platform/paths.h"
#include "store/printable.h"
#include "store/safe_file.h"
#include "store/text_form.h"

namespace kbcfg::cli {

ExportJsonCommand::ExportJsonCommand()
    : FileCommand("export-json",
                  "Write a configuration file as JSON text that build turns back into a file") {}

void ExportJsonCommand::setup(CLI::App& app) {
    app.footer(
        "build turns the text back into the same file only when the passwords travel with it:\n"
        "export with --with-passwords, or build with --base FILE (the passwords of FILE's\n"
        "records at the same positions). Otherwise the passwords of the built file are empty.");
    addFileArgument(app, "FILE", "Configuration file (scrambled, any known layout)");
    app.add_option("-o,--output", out_, "JSON file to write (default, or -: standard output)");
    app.add_flag("--with-passwords", withPasswords_,
                 "Include operator and device passwords (plain text)");
}

int ExportJsonCommand::runLoaded(Context& ctx) {
    const std::string text = store::textform::exportText(ctx.image, withPasswords_);
    if (out_.empty() || out_ == "-") {
        std::cout << text;
        return kExitOk;
    }
    const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
    // Passwords in plain text: nobody else may read a new file that holds them.
    const platform::NewFile mode =
        withPasswords_ ? store::kPrivateFile : platform::NewFile::Default;
    if (!store::writeFileAtomically(platform::fromUtf8(out_), data, text.size(),
                                    store::LinkPolicy::Replace, nullptr, mode))
        return fail("cannot write " + store::printablePath(out_));
    return kExitOk;
}

}  // namespace kbcfg::cli
