#pragma once

#include "cli/file_command.h"

namespace kbcfg::cli {

// kbcfg check FILE: loads FILE as the login would and prints "ok 0xVVVVVV", its own version.
class CheckCommand : public FileCommand {
  public:
    CheckCommand();
    void setup(CLI::App& app) override;

  protected:
    int runLoaded(Context& ctx) override;
};

}  // namespace kbcfg::cli
