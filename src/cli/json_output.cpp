#include "cli/json_output.h"

#include <CLI/CLI.hpp>
#include <cstdlib>

#include "cli/terminal_host.h"

namespace kbcfg::cli {

void addJsonFlag(CLI::App& app) {
    app.add_flag("--json")->description("One JSON object on stdout, the messages included");
}

void useJsonIfAsked(const CLI::App& app, TerminalHost& host) {
    std::string path;
    const CLI::App* chosen = &app;
    while (true) {
        const auto subs = chosen->get_subcommands();
        if (subs.empty()) break;
        chosen = subs.front();
        path += (path.empty() ? "" : " ") + chosen->get_name();
    }
    const CLI::Option* json = chosen->get_option_no_throw("--json");
    if (json && json->count() > 0) host.setJson(path);
}

long long numberOf(const std::string& text) {
    return std::strtoll(text.c_str(), nullptr, 10);
}

}  // namespace kbcfg::cli
