#pragma once

#include "cli/file_command.h"

namespace kbcfg::cli {

// kbcfg dump FILE: the decoded content as JSON, records in use only.
class DumpCommand : public FileCommand {
  public:
    DumpCommand();
    void setup(CLI::App& app) override;

  protected:
    int runLoaded(Context& ctx) override;

  private:
    bool withPasswords_ = false;
};

}  // namespace kbcfg::cli
