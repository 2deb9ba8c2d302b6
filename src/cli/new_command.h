#pragma once

#include <string>

#include "cli/command.h"

namespace kbcfg::cli {

// kbcfg new FILE: writes a fresh current-layout file with only the administrator in it.
class NewCommand : public Command {
  public:
    NewCommand();
    void setup(CLI::App& app) override;
    int run(Context& ctx) override;

  private:
    std::string file_;
    std::string admin_ = "admin";
    std::string password_;
    bool force_ = false;
};

}  // namespace kbcfg::cli
