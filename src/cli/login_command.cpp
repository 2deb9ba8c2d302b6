#include "cli/login_command.h"

#include <CLI/CLI.hpp>
#include <cstdlib>

#include "cli/backup_command.h"
#include "cli/terminal_host.h"
#include "platform/environment.h"
#include "platform/paths.h"
#include "shell/userlogin.h"
#include "store/files.h"
#include "store/full_path.h"
#include "store/messages.h"

namespace kbcfg::cli {
namespace {

constexpr const char* kLoginGroup = "Login (-f and -u required)";

// "-f,--file", or only the names app leaves free.
std::string freeNames(CLI::App& app, const char* shortName, const char* longName) {
    std::string names;
    if (shortName && !app.get_option_no_throw(shortName)) names = shortName;
    if (!app.get_option_no_throw(longName))
        names += (names.empty() ? "" : ",") + std::string(longName);
    return names;
}

}  // namespace

void LoginOptions::declare(CLI::App& app) {
    const auto add = [&](const char* shortName, const char* longName, auto& value,
                         const char* help) {
        const std::string names = freeNames(app, shortName, longName);
        if (names.empty()) return;
        declared_.push_back({longName, app.add_option(names, value, help)->group(kLoginGroup)});
    };
    add("-f", "--file", file, "Configuration file to log in to");
    add("-u", "--user", user, "Operator user name");
    add("-p", "--password", password,
        "Password (default: the environment variable KBCFG_PASSWORD, else empty)");
    const std::string names = freeNames(app, nullptr, "--no-backup");
    if (!names.empty()) {
        declared_.push_back(
            {"--no-backup",
             app.add_flag(names, noBackup,
                          "Change the file without keeping a copy of it in the Backup folder")
                 ->group(kLoginGroup)});
    }
}

void LoginOptions::adopt(const LoginOptions& outer) {
    for (const Declared& d : outer.declared_) {
        if (d.option->count() == 0) continue;
        const std::string name = d.name;
        if (name == "--file") file = outer.file;
        if (name == "--user") user = outer.user;
        if (name == "--password") password = outer.password;
        if (name == "--no-backup") noBackup = true;
    }
    declared_.insert(declared_.end(), outer.declared_.begin(), outer.declared_.end());
}

bool LoginOptions::given() const {
    for (const Declared& d : declared_)
        if (d.option->count() > 0) return true;
    return false;
}

void LoginOptions::check() const {
    for (const char* name : {"--file", "--user", "--password"}) {
        std::size_t count = 0;
        for (const Declared& d : declared_)
            if (std::string(d.name) == name) count += d.option->count();
        if (count > 1) throw CLI::ArgumentMismatch::AtMost(name, 1, count);
        if (count == 0 && std::string(name) != "--password") throw CLI::RequiredError(name);
    }
}

std::string LoginOptions::effectivePassword() const {
    if (password) return *password;
    return platform::environment("KBCFG_PASSWORD").value_or(std::string());
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
    if (!dialog.useConfigFile(store::fullPath(platform::fromUtf8(login_.file)))) return kExitFailed;
    dialog.userName = login_.user;
    dialog.password = login_.effectivePassword();
    if (dialog.login() != store::Outcome::Done) return kExitFailed;
    // The file stays locked for this command only, whichever way it ends.
    struct EndSession {
        store::SessionState& session;
        ~EndSession() {
            session.beforeSave = nullptr;
            store::endEditSession(session);
        }
    } end{ctx.session};
    if (administratorOnly_ && ctx.session.loggedInUser != 0)
        return fail("only the administrator may use the " + name() + " commands");
    // A script's wrong batch command must have a way back: the file as it was is copied into the
    // backup folder before the command's first save, and a save is refused when that fails.
    // Commands that only read never save, so they leave no copies.
    if (!login_.noBackup) {
        ctx.session.beforeSave = [&ctx, done = false]() mutable {
            if (done) return true;
            std::string why;
            if (!backUpConfigFile(ctx.session.configPath, why)) {
                store::showMessage(ctx.host, store::Msg::OpenConfigFailed,
                                   "Cannot keep a backup of " +
                                       platform::utf8(ctx.session.configPath) + ": " + why +
                                       "; nothing was written (--no-backup changes the file "
                                       "without one)");
                return false;
            }
            done = true;
            return true;
        };
    }
    return runLoggedIn(ctx);
}

}  // namespace kbcfg::cli
