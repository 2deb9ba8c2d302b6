#include "cli/command.h"

#include <iostream>
#include <utility>

#include "cli/terminal_host.h"

namespace kbcfg::cli {

namespace {
TerminalHost* g_failuresHost = nullptr;
}  // namespace

void collectFailuresIn(TerminalHost* host) {
    g_failuresHost = host;
}

void reportFailure(const std::string& what) {
    std::cerr << "kbcfg: " << what << std::endl;
    if (g_failuresHost) g_failuresHost->failure(what);
}

Command::Command(std::string name, std::string description)
    : name_(std::move(name)), description_(std::move(description)) {}

int Command::fail(const std::string& what) {
    reportFailure(what);
    return kExitFailed;
}

}  // namespace kbcfg::cli
