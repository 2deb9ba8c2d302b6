#pragma once

#include "cli/command.h"

namespace kbcfg::cli {

// kbcfg discover [--seconds N] [--json | --json-lines]: the discovery dialog on the terminal.
// Prints each device as its reports arrive (add, update, remove) and stops after N seconds;
// --json gives the list and the reports as one object at the end.
class DiscoverCommand : public Command {
  public:
    DiscoverCommand();
    void setup(CLI::App& app) override;
    int run(Context& ctx) override;

  private:
    int seconds_ = 5;
    bool jsonLines_ = false;
};

}  // namespace kbcfg::cli
