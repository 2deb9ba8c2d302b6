#pragma once

#include "cli/command.h"

namespace kbcfg::cli {

// kbcfg discover [--seconds N] [--json]: the discovery dialog on the terminal. Prints each device
// as its reports arrive (add, update, remove) and stops after N seconds.
class DiscoverCommand : public Command {
  public:
    DiscoverCommand();
    void setup(CLI::App& app) override;
    int run(Context& ctx) override;

  private:
    int seconds_ = 5;
    bool json_ = false;
};

}  // namespace kbcfg::cli
