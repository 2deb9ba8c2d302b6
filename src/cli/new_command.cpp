#include "cli/new_command.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <system_error>

#include "cli/image_output.h"
#include "cli/terminal_host.h"
#include "platform/paths.h"
#include "store/fresh_image.h"
#include "store/messages.h"
#include "store/printable.h"
#include "store/validators.h"

namespace kbcfg::cli {

NewCommand::NewCommand()
    : Command("new", "Write a fresh configuration file holding only the administrator") {}

void NewCommand::setup(CLI::App& app) {
    app.add_option("FILE", file_, "File to create (scrambled, current layout)")->required();
    app.add_option("--admin", admin_, "Administrator user name")->capture_default_str();
    app.add_option("--password", password_, "Administrator password (default empty)");
    app.add_flag("--force", force_, "Replace an existing file");
}

int NewCommand::run(Context& ctx) {
    if (const auto m = store::userNameMessage(store::checkUserName(admin_))) {
        store::showMessage(ctx.host, *m);
        return kExitFailed;
    }
    if (const auto m = store::passwordMessage(store::checkPassword(password_))) {
        store::showMessage(ctx.host, *m);
        return kExitFailed;
    }
    const auto file = platform::fromUtf8(file_);
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(file, ec);
    if (std::filesystem::exists(status) && !force_)
        return fail(store::printablePath(file_) + " already exists (use --force to replace it)");

    store::makeFreshImage(ctx.image, admin_, password_);
    std::string why;
    if (!writeScrambledImage(file, ctx.image, &why))
        return fail("cannot write " + store::printablePath(file_) + ": " + why);
    return kExitOk;
}

}  // namespace kbcfg::cli
