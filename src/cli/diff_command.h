#pragma once

#include <string>

#include "cli/command.h"

namespace kbcfg::cli {

// kbcfg diff A B [--json]: what differs between two files by meaning. Exit 0 equal, 1
// different, 2 when a file cannot be read (as diff does).
class DiffCommand : public Command {
  public:
    DiffCommand();
    void setup(CLI::App& app) override;
    int run(Context& ctx) override;

  private:
    std::string a_;
    std::string b_;
};

}  // namespace kbcfg::cli
