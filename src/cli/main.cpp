// kbcfg: the command-line tool. One subcommand per Command class; the dispatcher parses, runs the
// chosen command with the process's one host, session and image, and maps the outcome to the
// exit status.

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <exception>
#include <iostream>
#include <map>
#include <memory>
#include <vector>

#include "cli/backup_command.h"
#include "cli/build_command.h"
#include "cli/channel_command.h"
#include "cli/check_command.h"
#include "cli/command.h"
#include "cli/completion_command.h"
#include "cli/convert_command.h"
#include "cli/device_command.h"
#include "cli/diff_command.h"
#include "cli/discover_command.h"
#include "cli/dump_command.h"
#include "cli/export_json_command.h"
#include "cli/fleet_command.h"
#include "cli/info_command.h"
#include "cli/json_output.h"
#include "cli/keyboard_command.h"
#include "cli/lint_command.h"
#include "cli/login_command.h"
#include "cli/new_command.h"
#include "cli/scramble_command.h"
#include "cli/terminal_host.h"
#include "cli/termination.h"
#include "cli/user_command.h"
#include "kbcfg_build_info.h"
#include "store/messages.h"

namespace kbcfg::cli {
namespace {

std::vector<std::unique_ptr<Command>> allCommands() {
    std::vector<std::unique_ptr<Command>> commands;
    commands.push_back(std::make_unique<CheckCommand>());
    commands.push_back(std::make_unique<ConvertCommand>());
    commands.push_back(std::make_unique<ScrambleCommand>(
        "decode", "Unscramble a configuration file into its plain bytes (for a hex editor)"));
    commands.push_back(std::make_unique<ScrambleCommand>(
        "encode", "Scramble plain bytes into a configuration file"));
    commands.push_back(std::make_unique<InfoCommand>());
    commands.push_back(std::make_unique<DumpCommand>());
    commands.push_back(std::make_unique<LintCommand>());
    commands.push_back(std::make_unique<ExportJsonCommand>());
    commands.push_back(std::make_unique<BuildCommand>());
    commands.push_back(std::make_unique<DiffCommand>());
    commands.push_back(std::make_unique<NewCommand>());
    commands.push_back(std::make_unique<DeviceCommand>());
    commands.push_back(std::make_unique<UserCommand>());
    commands.push_back(std::make_unique<ChannelCommand>());
    commands.push_back(std::make_unique<KeyboardCommand>());
    commands.push_back(std::make_unique<FleetCommand>());
    commands.push_back(std::make_unique<DiscoverCommand>());
    commands.push_back(std::make_unique<BackupsCommand>());
    commands.push_back(std::make_unique<RestoreCommand>());
    commands.push_back(std::make_unique<CompletionCommand>());
    return commands;
}

int runApp(int argc, char** argv) {
    // Only the catalogue messages change language; scripts judge the exit status and the
    // message numbers of --json, which are the same in both.
    store::MessageCatalogue::setCurrent(store::commandLineLanguage(store::processEnvironment()));
    CLI::App app{"Configuration files of the network control keyboard", "kbcfg"};
    app.set_version_flag("--version", "kbcfg " KBCFG_VERSION);
    app.require_subcommand(0, 1);

    const auto commands = allCommands();
    std::map<CLI::App*, Command*> bySubcommand;
    for (const auto& command : commands) {
        CLI::App* sub = app.add_subcommand(command->name(), command->description());
        command->setup(*sub);
        bySubcommand[sub] = command.get();
    }
    // Set after the commands, which would inherit it.
    app.footer(
        "Environment:\n"
        "  KBCFG_LANG  Language of the tool's messages: en or zh (default: the locale, from\n"
        "              LC_ALL, LC_MESSAGES or LANG; zh* is Chinese). Usage errors and this\n"
        "              help stay in English.\n");
    // The login options may also come before the command's name.
    LoginOptions outerLogin;
    outerLogin.declare(app);

    try {
        app.parse(argc, argv);
        if (!app.get_subcommands().empty()) {
            Command* command = bySubcommand.at(app.get_subcommands().front());
            if (LoginOptions* login = command->loginOptions()) {
                login->adopt(outerLogin);
                login->check();
            } else if (outerLogin.given()) {
                throw CLI::ValidationError(
                    "-f, -u, -p and --no-backup belong to the commands that log in to a file");
            }
        }
    } catch (const CLI::ParseError& e) {
        // Help and version end well; every other parse error is a usage error.
        return app.exit(e) == 0 ? kExitOk : kExitUsage;
    }

    const auto chosen = app.get_subcommands();
    if (chosen.empty()) {
        std::cerr << app.help();
        return kExitUsage;
    }

    TerminalHost host(std::cin, std::cout, std::cerr, isatty(STDIN_FILENO) != 0);
    useJsonIfAsked(app, host);
    Context ctx{host, store::SessionState::instance(), store::ConfigImage::instance()};
    collectFailuresIn(&host);
    int status = kExitFailed;
    try {
        status = bySubcommand.at(chosen.front())->run(ctx);
        host.runUntilIdle();
    } catch (const std::exception& e) {
        // The object of --json still comes, with the reason among its errors.
        reportFailure(e.what());
    }
    collectFailuresIn(nullptr);
    host.finish(status);
    // Output that never arrived (a full disk behind a redirection) is a failure too.
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "kbcfg: cannot write the output" << std::endl;
        return kExitFailed;
    }
    return status;
}

}  // namespace
}  // namespace kbcfg::cli

int main(int argc, char** argv) {
    kbcfg::cli::cleanUpOnTerminationSignals();
    try {
        return kbcfg::cli::runApp(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "kbcfg: " << e.what() << std::endl;
    } catch (...) {
        std::cerr << "kbcfg: unexpected failure" << std::endl;
    }
    return kbcfg::cli::kExitFailed;
}
