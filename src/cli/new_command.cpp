#include "cli/new_command.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <system_error>

#include "cli/image_output.h"
#include "cli/terminal_host.h"
#include "store/ansi.h"
#include "store/messages.h"
#include "store/printable.h"
#include "store/validators.h"

namespace kbcfg::cli {

namespace {

// The messages the user pages give for checkUserName and checkPassword codes 1, 2, 3.
int userNameMessage(int code) {
    switch (code) {
        case 1:
            return 12;  // longer than 16 characters
        case 2:
            return 13;  // not letters, digits, underscore
        case 3:
            return 11;  // blank
        default:
            return 0;
    }
}

int passwordMessage(int code) {
    switch (code) {
        case 1:
            return 17;  // longer than 16 characters
        case 2:
            return 16;  // outside printable ASCII
        default:
            return 0;  // an empty administrator password is allowed
    }
}

}  // namespace

void buildFreshImage(store::ConfigImage& image, const std::string& admin,
                     const std::string& password) {
    namespace layout = store::layout;
    image.zero();
    image.setMagic(layout::kMagic);
    image.setLength(layout::kLength);
    image.setVersion(layout::kVersion);
    store::OperatorRecord administrator = image.operatorRecord(0);
    administrator.setInUse(1);
    administrator.setName(store::toAnsi(admin));
    administrator.setPassword(store::toAnsi(password));
    for (int op = 1; op < layout::kOperatorCount; ++op) {
        image.clearOperatorTables(op);
        image.resetOperatorDevices(op);
    }
    image.updateChecksum();
}

NewCommand::NewCommand()
    : Command("new", "Write a fresh configuration file holding only the administrator") {}

void NewCommand::setup(CLI::App& app) {
    app.add_option("FILE", file_, "File to create (scrambled, current layout)")->required();
    app.add_option("--admin", admin_, "Administrator user name")->capture_default_str();
    app.add_option("--password", password_, "Administrator password (default empty)");
    app.add_flag("--force", force_, "Replace an existing file");
}

int NewCommand::run(Context& ctx) {
    if (const int m = userNameMessage(store::checkUserName(admin_))) {
        store::showMessage(ctx.host, m);
        return kExitFailed;
    }
    if (const int m = passwordMessage(store::checkPassword(password_))) {
        store::showMessage(ctx.host, m);
        return kExitFailed;
    }
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(file_, ec);
    if (std::filesystem::exists(status) && !force_)
        return fail(store::printable(file_) + " already exists (use --force to replace it)");

    buildFreshImage(ctx.image, admin_, password_);
    std::string why;
    if (!writeScrambledImage(file_, ctx.image, &why))
        return fail("cannot write " + store::printable(file_) + ": " + why);
    return kExitOk;
}

}  // namespace kbcfg::cli
