#include "cli/command.h"

#include <iostream>
#include <utility>

namespace kbcfg::cli {

Command::Command(std::string name, std::string description)
    : name_(std::move(name)), description_(std::move(description)) {}

int Command::fail(const std::string& what) {
    std::cerr << "kbcfg: " << what << std::endl;
    return kExitFailed;
}

}  // namespace kbcfg::cli
