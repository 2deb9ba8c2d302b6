#pragma once

#include <string>

#include "cli/command.h"

namespace kbcfg::cli {

// kbcfg lint FILE [--json]: what in a file would confuse a keyboard or the lists. Exit 1 when
// something is an error, 0 when at most warnings were found, 2 when the file cannot be read.
class LintCommand : public Command {
  public:
    LintCommand();
    void setup(CLI::App& app) override;
    int run(Context& ctx) override;

  private:
    std::string file_;
};

}  // namespace kbcfg::cli
