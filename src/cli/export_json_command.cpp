#include "cli/export_json_command.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "store/safe_file.h"
#include "store/text_form.h"

namespace kbcfg::cli {

ExportJsonCommand::ExportJsonCommand()
    : FileCommand("export-json",
                  "Write a configuration file as JSON that build turns back into the same file") {}

void ExportJsonCommand::setup(CLI::App& app) {
    addFileArgument(app, "FILE", "Configuration file (scrambled, any known layout)");
    app.add_option("-o,--output", out_, "JSON file to write (default: standard output)");
    app.add_flag("--with-passwords", withPasswords_,
                 "Include operator and device passwords (plain text)");
}

int ExportJsonCommand::runLoaded(Context& ctx) {
    const std::string text = store::textform::exportText(ctx.image, withPasswords_);
    if (out_.empty()) {
        std::cout << text;
        return kExitOk;
    }
    const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
    // Passwords in plain text: nobody else may read a new file that holds them.
    const mode_t mode = withPasswords_ ? store::kPrivateFileMode : 0666;
    if (!store::writeFileAtomically(out_, data, text.size(), store::LinkPolicy::Replace, nullptr,
                                    mode))
        return fail("cannot write " + out_);
    return kExitOk;
}

}  // namespace kbcfg::cli
