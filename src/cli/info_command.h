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

  private:
    // The summary as the command's JSON keys.
    void report(Context& ctx) const;
};

}  // namespace kbcfg::cli
