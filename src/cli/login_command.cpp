#include "cli/login_command.h"

#include <CLI/CLI.hpp>
#include <cstdlib>

#include "cli/terminal_host.h"
#include "shell/userlogin.h"
#include "store/files.h"

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

namespace {
// The session's working copy goes when the command ends, however it ends.
struct TempFileRemover {
    const store::SessionState& session;
    ~TempFileRemover() { store::removeTempFile(session); }
};
}  // namespace

int LoginCommand::run(Context& ctx) {
    shell::userlogin dialog(ctx.host, ctx.session, ctx.image);
    dialog.open();
    if (!dialog.useConfigFile(login_.file)) return kExitFailed;
    if (ctx.session.configPath.filename() == store::kTempFileName)
        return fail(login_.file + ": is the working copy " + store::kTempFileName +
                    " of its folder and cannot be opened as a configuration file");
    TempFileRemover remover{ctx.session};
    dialog.userName = login_.user;
    dialog.password = login_.effectivePassword();
    if (dialog.login() != store::Outcome::Done) return kExitFailed;
    if (administratorOnly_ && ctx.session.loggedInUser != 0)
        return fail("only the administrator may use the " + name() + " commands");
    return runLoggedIn(ctx);
}

}  // namespace kbcfg::cli
