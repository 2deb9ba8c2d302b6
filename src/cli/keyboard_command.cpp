#include "cli/keyboard_command.h"

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <iostream>

#include "cli/device_libraries.h"
#include "cli/json_output.h"
#include "cli/terminal_host.h"
#include "cli/text_options.h"
#include "platform/console.h"
#include "platform/environment.h"
#include "platform/paths.h"
#include "remote/config.h"
#include "remote/modconfig.h"
#include "remote/modupdata.h"
#include "shell/userlogin.h"
#include "store/files.h"
#include "store/own_texts.h"

namespace kbcfg::cli {

namespace {

using T = store::OwnText;
using store::say;

using store::Outcome;

// The keyboard's address, port and password, as the dialogs take them.
struct KeyboardOptions {
    store::Ipv4Fields ip;
    std::string port = "8000";
    std::optional<std::string> password;

    void declare(CLI::App& app) {
        addAddressOption(app, "--ip", ip, "Keyboard address")->required();
        app.add_option("--port", port, "Keyboard port, as typed (default 8000)");
        app.add_option("-p,--password", password,
                       "Keyboard password (default: KBCFG_PASSWORD, else empty)");
        addJsonFlag(app);
    }
    // "198.51.100.2:8000", the port as the dialog reads it.
    std::string where() const { return ip.toString() + ":" + std::to_string(numberOf(port)); }
    nlohmann::ordered_json keys() const {
        return {{"ip", ip.toString()}, {"port", numberOf(port)}};
    }
    void fill(remote::KeyboardFields& fields) const {
        fields.address = ip;
        fields.port = port;
        if (password) {
            fields.password = *password;
        } else if (auto env = platform::environment("KBCFG_PASSWORD")) {
            fields.password = std::move(*env);
        }
    }
};

class ExportCommand : public Command {
  public:
    ExportCommand() : Command("export", "Fetch the keyboard's configuration file") {}
    void setup(CLI::App& app) override {
        keyboard_.declare(app);
        app.add_option("--output", output_, "File to write")->required();
        auto* login = app.add_flag("--login", login_, "Go on to the operator login on the file");
        app.add_option("-u,--user", user_, "Operator user name for --login")->needs(login);
        app.add_option("--user-password", userPassword_,
                       "Operator password for --login (default: KBCFG_USER_PASSWORD, else the "
                       "keyboard password)");
    }
    int run(Context& ctx) override {
        if (login_ && user_.empty()) return fail("--login needs -u USER");
        ctx.session.mode = login_ ? 2 : ctx.session.mode;
        remote::modconfig dialog(ctx.host, ctx.session, netSdk());
        if (!dialog.usePath(platform::fromUtf8(output_))) return kExitFailed;
        keyboard_.fill(dialog.keyboard);
        auto keys = keyboard_.keys();
        keys["output"] = output_;
        const Outcome exported = login_ ? dialog.exportAndLogin() : dialog.exportFile();
        keys["exported"] = exported == Outcome::Done;
        const std::string fetched = exported == Outcome::Done
                                        ? say(T::FetchedConfiguration, {keyboard_.where(), output_})
                                        : say(T::FetchedNoConfiguration);
        if (!login_ || exported != Outcome::Done) {
            ctx.host.summary(fetched, keys);
            return exitFor(exported);
        }

        // The login dialog as it opens after an export: the fetched file, no choice of another.
        shell::userlogin login(ctx.host, ctx.session, ctx.image);
        login.open();
        login.userName = user_;
        if (userPassword_) {
            login.password = *userPassword_;
        } else if (auto env = platform::environment("KBCFG_USER_PASSWORD")) {
            login.password = std::move(*env);
        } else {
            login.password = dialog.keyboard.password;
        }
        const Outcome outcome = login.login();
        store::endEditSession(ctx.session);
        if (outcome != Outcome::Done) {
            keys["loggedIn"] = nullptr;
            ctx.host.summary(fetched + say(T::LoginFailedAfter), keys);
            return kExitFailed;
        }
        keys["loggedIn"] = {{"user", user_}, {"record", ctx.session.loggedInUser}};
        ctx.host.summary(
            fetched + say(T::LoggedInAs, {user_, std::to_string(ctx.session.loggedInUser)}), keys);
        return kExitOk;
    }

  private:
    KeyboardOptions keyboard_;
    std::string output_;
    bool login_ = false;
    std::string user_;
    std::optional<std::string> userPassword_;
};

class ImportCommand : public Command {
  public:
    ImportCommand() : Command("import", "Send a configuration file to the keyboard") {}
    void setup(CLI::App& app) override {
        keyboard_.declare(app);
        app.add_option("--file", file_, "Configuration file to send")->required();
    }
    int run(Context& ctx) override {
        remote::config page(ctx.host, ctx.session, netSdk());
        if (!page.usePath(platform::fromUtf8(file_))) return kExitFailed;
        keyboard_.fill(page.keyboard);
        // As the export dialog's import and a fleet's: a refused login stops with its reason,
        // where the page would send anyway and only say that the send failed.
        const Outcome outcome =
            remote::importConfigFile(ctx.host, netSdk(), page.keyboard, page.chosenPath, true);
        auto keys = keyboard_.keys();
        keys["file"] = file_;
        keys["imported"] = outcome == Outcome::Done;
        ctx.host.summary(outcome == Outcome::Done ? say(T::SentFile, {file_, keyboard_.where()})
                                                  : say(T::SentNothing),
                         keys);
        return exitFor(outcome);
    }

  private:
    KeyboardOptions keyboard_;
    std::string file_;
};

class UpgradeCommand : public Command {
  public:
    UpgradeCommand() : Command("upgrade", "Upgrade the keyboard's firmware or its panel") {}
    void setup(CLI::App& app) override {
        keyboard_.declare(app);
        app.add_option("--file", file_, "Upgrade package")->required();
        app.add_flag("--panel", panel_, "A program for the panel's microcontroller");
    }
    int run(Context& ctx) override {
        remote::modupdata dialog(ctx.host, netSdk());
        dialog.onModeChanged(panel_ ? remote::modupdata::kPanel : remote::modupdata::kFirmware);
        if (!dialog.usePackage(platform::fromUtf8(file_))) return kExitFailed;
        keyboard_.fill(dialog.keyboard);
        if (dialog.startUpgrade() != Outcome::Done) return kExitFailed;

        const bool terminal = platform::isTerminal(platform::Stream::Err);
        std::string shown;
        bool bar = false;
        // Each poll runs on the host's 500 ms timer. What it changed is printed before the message
        // it may have shown, as the dialog's bar or status line is on screen under its message.
        while (dialog.running()) {
            ctx.host.holdMessages();
            const bool ticked = ctx.host.runNextTimer();
            const bool ended = !dialog.running();
            const std::string now = panel_ ? dialog.statusText : dialog.percentText;
            if (now != shown && !now.empty()) {
                shown = now;
                if (panel_) {
                    // The panel's end texts are status lines, not messages; a success is output.
                    const bool success = ended && dialog.finished.value_or(false);
                    (success && !ctx.host.json() ? std::cout : std::cerr) << now << std::endl;
                } else if (terminal) {
                    const int width = 40, filled = dialog.progress * width / 100;
                    std::cerr << "\r[" << std::string(filled, '#')
                              << std::string(width - filled, ' ') << "] " << now << "%"
                              << std::flush;
                    bar = true;
                } else {
                    std::cerr << now << "%" << std::endl;
                }
            }
            if (bar && (ended || !ticked)) std::cerr << std::endl;
            ctx.host.releaseMessages();
            if (!ticked) break;
        }
        const bool upgraded = dialog.finished.value_or(false);
        auto keys = keyboard_.keys();
        keys["file"] = file_;
        keys["panel"] = panel_;
        keys["upgraded"] = upgraded;
        keys["progress"] = dialog.progress;
        keys["panelStatus"] =
            panel_ ? nlohmann::ordered_json(dialog.statusText) : nlohmann::ordered_json();
        ctx.host.summary(upgraded ? say(panel_ ? T::UpgradedPanel : T::UpgradedFirmware,
                                        {keyboard_.where(), file_})
                                  : say(T::UpgradedNothing),
                         keys);
        return upgraded ? kExitOk : kExitFailed;
    }

  private:
    KeyboardOptions keyboard_;
    std::string file_;
    bool panel_ = false;
};

}  // namespace

KeyboardCommand::KeyboardCommand()
    : CommandGroup("keyboard", "Export, import and upgrade keyboards over the network", false) {
    add(std::make_unique<ExportCommand>());
    add(std::make_unique<ImportCommand>());
    add(std::make_unique<UpgradeCommand>());
}

}  // namespace kbcfg::cli
