#pragma once
// --json on the commands that report something: the run's messages, summary and the command's
// own keys become one JSON object on stdout (shapes in docs/cli-json.md).

#include <string>

namespace CLI {
class App;
}

namespace kbcfg::cli {

class TerminalHost;

// Declares --json on a command.
void addJsonFlag(CLI::App& app);
// Puts the host in JSON mode when the command chosen on the command line was given --json.
void useJsonIfAsked(const CLI::App& app, TerminalHost& host);
// The decimal value of a number the pages show as text ("-1", "700"), 0 for none.
long long numberOf(const std::string& text);

}  // namespace kbcfg::cli
