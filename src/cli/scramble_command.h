#pragma once

#include <string>

#include "cli/command.h"

namespace kbcfg::cli {

// kbcfg decode IN OUT and kbcfg encode IN OUT: the raw word scramble of IN into OUT. The
// scramble is its own inverse, so both names run the same operation; two names say which way
// the user means it.
class ScrambleCommand : public Command {
  public:
    ScrambleCommand(std::string name, std::string description);
    void setup(CLI::App& app) override;
    int run(Context& ctx) override;

  private:
    std::string in_;
    std::string out_;
};

}  // namespace kbcfg::cli
