#pragma once

#include "cli/file_command.h"

namespace kbcfg::cli {

// kbcfg info FILE: a short summary of a configuration file for people.
class InfoCommand : public FileCommand {
  public:
    InfoCommand();
    void setup(CLI::App& app) override;

  protected:
    int runLoaded(Context& ctx) override;
};

}  // namespace kbcfg::cli
