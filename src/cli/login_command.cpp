#include "cli/login_command.h"

#include <CLI/CLI.hpp>
#include <cstdlib>

#include "cli/terminal_host.h"
#include "shell/userlogin.h"
#include "store/files.h"
#include "store/full_path.h"

namespace kbcfg::cli {

void LoginOptions::declare(CLI::App& group) {
    group.add_option("-f,--file", file, "Configuration file to log in to")->required();
    group.add_option("-u,--user", user, "Operator user name")->required();
    group.add_option("-p,--password", password,
                     "Password (default: the environment variable KBCFG_PASSWORD, else empty)");
    // The options may also follow the subcommand's own name.
    group.fallthrough();
}

std::string LoginOptions::effectivePassword() const {
    if (password) return *password;
    const char* env = std::getenv("KBCFG_PASSWORD");
    return env ? std::string(env) : std::string();
}

LoginCommand::LoginCommand(std::string name, std::string description, const LoginOptions& login,
                           bool administratorOnly)
    : Command(std::move(name), std::move(description)),
      login_(login),
      administratorOnly_(administratorOnly) {}

int LoginCommand::run(Context& ctx) {
    shell::userlogin dialog(ctx.host, ctx.session, ctx.image);
    dialog.open();
    // The limits apply to the full path, as the login's file chooser gives it.
    if (!dialog.useConfigFile(store::fullPath(login_.file))) return kExitFailed;
    dialog.userName = login_.user;
    dialog.password = login_.effectivePassword();
    if (dialog.login() != store::Outcome::Done) return kExitFailed;
    if (administratorOnly_ && ctx.session.loggedInUser != 0)
        return fail("only the administrator may use the " + name() + " commands");
    // The file stays locked for this command only.
    const int status = runLoggedIn(ctx);
    store::endEditSession(ctx.session);
    return status;
}

}  // namespace kbcfg::cli
