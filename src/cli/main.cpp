// kbcfg: the command-line tool. One subcommand per Command class; the dispatcher parses, runs the
// chosen command with the process's one host, session and image, and maps the outcome to the
// exit status.

#include <CLI/CLI.hpp>
#include <algorithm>
#include <exception>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
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
#include "platform/console.h"
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

// How far apart two command names are: the edits (insert, delete, replace, swap two neighbours)
// that turn one into the other.
std::size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1,
                                d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

// "kbcfg device": the command path of a (sub)command.
std::string commandPath(const CLI::App* app) {
    std::string path = app->get_name();
    for (const CLI::App* up = app->get_parent(); up; up = up->get_parent())
        path = up->get_name() + " " + path;
    return path;
}

// The words `parent` takes as commands, "help" among the top level's.
std::vector<std::string> commandNames(CLI::App* parent) {
    std::vector<std::string> names;
    for (const CLI::App* sub : parent->get_subcommands([](CLI::App*) { return true; }))
        names.push_back(sub->get_name());
    if (!parent->get_parent()) names.push_back("help");
    return names;
}

// Says that `word` names no command of `parent`, with the nearest ones as git does; a usage error.
int unknownCommand(CLI::App* parent, const std::string& word) {
    // A name the word starts, or one a slip or two away (fewer than the word has letters).
    std::size_t best = 3;
    std::vector<std::string> nearest;
    for (const std::string& name : commandNames(parent)) {
        const std::size_t score =
            word.size() >= 2 && name.starts_with(word) ? 1 : editDistance(word, name);
        if (score >= word.size() || score > best) continue;
        if (score < best) nearest.clear();
        best = score;
        nearest.push_back(name);
    }
    const std::string path = commandPath(parent);
    std::cerr << "kbcfg: '" << word << "' is not a command of '" << path << "'.";
    if (nearest.empty()) {
        std::cerr << " See '" << path << " --help'.";
    } else {
        std::cerr << (nearest.size() == 1 ? " The most similar command is: "
                                          : " The most similar commands are: ");
        for (std::size_t i = 0; i < nearest.size(); ++i) std::cerr << (i ? ", " : "") << nearest[i];
    }
    std::cerr << std::endl;
    return kExitUsage;
}

// After a parse error: the first word the innermost command named could not take, when that
// command has commands of its own (so the word was meant as one of them).
std::optional<std::string> strayCommandWord(CLI::App& app, CLI::App*& parent) {
    parent = &app;
    while (!parent->get_subcommands().empty()) parent = parent->get_subcommands().front();
    if (parent->get_subcommands([](CLI::App*) { return true; }).empty()) return std::nullopt;
    for (const std::string& word : parent->remaining(false))
        if (!word.empty() && word.front() != '-') return word;
    return std::nullopt;
}

const char* const kFooter =
    "'kbcfg help COMMAND...' shows the same as 'kbcfg COMMAND... --help'.\n"
    "\n"
    "Examples:\n"
    "  kbcfg -f site.bin -u admin -p secret device list   log in to a file, list devices\n"
    "  kbcfg export-json site.bin -o site.json            the file as JSON, to edit\n"
    "  kbcfg build site.json new.bin --base site.bin      back to a file, with the\n"
    "                                                     passwords of site.bin\n"
    "  KBCFG_PASSWORD=k kbcfg fleet export --inventory site.csv --output /srv/kb\n"
    "\n"
    "Exit status:\n"
    "  0  success\n"
    "  1  refused or failed: anything asked that was not done, including some devices\n"
    "     of an assignment or lines of an import\n"
    "  2  usage error\n"
    "\n"
    "Environment:\n"
    "  KBCFG_LANG  Language of the tool's messages: en or zh (default: the locale, from\n"
    "              LC_ALL, LC_MESSAGES or LANG; zh* is Chinese). Usage errors and this\n"
    "              help stay in English.\n";

// "kbcfg help device add" is "kbcfg device add --help". The exit status when a word names no
// command.
std::optional<int> rewriteHelp(CLI::App& app, std::vector<std::string>& args) {
    if (args.size() < 2 || args[1] != "help") return std::nullopt;
    args.erase(args.begin() + 1);
    CLI::App* parent = &app;
    for (std::size_t i = 1; i < args.size(); ++i) {
        CLI::App* sub = nullptr;
        for (CLI::App* candidate : parent->get_subcommands([](CLI::App*) { return true; }))
            if (candidate->check_name(args[i])) sub = candidate;
        if (!sub) return unknownCommand(parent, args[i]);
        parent = sub;
    }
    args.push_back("--help");
    return std::nullopt;
}

// Parses the words and settles where the login options go. The exit status when that ends the
// run: help, version or a usage error.
std::optional<int> parseWords(CLI::App& app, std::vector<std::string>& args,
                              const std::map<CLI::App*, Command*>& bySubcommand,
                              LoginOptions& outerLogin) {
    std::vector<char*> words;
    for (std::string& arg : args) words.push_back(arg.data());
    try {
        app.parse(static_cast<int>(words.size()), words.data());
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
        CLI::App* parent = nullptr;
        if (e.get_exit_code() != 0)
            if (const auto word = strayCommandWord(app, parent))
                return unknownCommand(parent, *word);
        return app.exit(e) == 0 ? kExitOk : kExitUsage;
    }
    return std::nullopt;
}

// Runs the chosen command against the terminal, with --json if asked.
int runCommand(CLI::App& app, Command& command) {
    TerminalHost host(std::cin, std::cout, std::cerr, platform::isTerminal(platform::Stream::In));
    useJsonIfAsked(app, host);
    Context ctx{host, store::SessionState::instance(), store::ConfigImage::instance()};
    collectFailuresIn(&host);
    int status = kExitFailed;
    try {
        status = command.run(ctx);
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

int runApp(std::vector<std::string> args) {
    // Only the catalogue messages change language; scripts judge the exit status and the
    // message numbers of --json, which are the same in both.
    store::MessageCatalogue::setCurrent(store::commandLineLanguage(store::processEnvironment()));
    CLI::App app{"Configuration files of the network control keyboard", "kbcfg"};
    app.set_version_flag("--version", "kbcfg " KBCFG_VERSION);
    app.require_subcommand(0, 1);
    // Options are "-x" and "--name" on every system: a word such as "/tmp/kb.bin" is a path even
    // on Windows (CLI11 would read it as the option "tmp"), and subcommands inherit this.
    app.allow_windows_style_options(false);

    const auto commands = allCommands();
    std::map<CLI::App*, Command*> bySubcommand;
    for (const auto& command : commands) {
        CLI::App* sub = app.add_subcommand(command->name(), command->description());
        command->setup(*sub);
        bySubcommand[sub] = command.get();
    }
    // Set after the commands, which would inherit it.
    app.footer(kFooter);
    // The login options may also come before the command's name.
    LoginOptions outerLogin;
    outerLogin.declare(app);

    if (const auto status = rewriteHelp(app, args)) return *status;
    if (const auto status = parseWords(app, args, bySubcommand, outerLogin)) return *status;

    const auto chosen = app.get_subcommands();
    if (chosen.empty()) {
        std::cerr << app.help();
        return kExitUsage;
    }
    return runCommand(app, *bySubcommand.at(chosen.front()));
}

}  // namespace
}  // namespace kbcfg::cli

int main(int argc, char** argv) {
    kbcfg::platform::useBinaryStandardStreams();
    kbcfg::cli::cleanUpOnTerminationSignals();
    try {
        return kbcfg::cli::runApp(kbcfg::platform::commandLineArguments(argc, argv));
    } catch (const std::exception& e) {
        std::cerr << "kbcfg: " << e.what() << std::endl;
    } catch (...) {
        std::cerr << "kbcfg: unexpected failure" << std::endl;
    }
    return kbcfg::cli::kExitFailed;
}
