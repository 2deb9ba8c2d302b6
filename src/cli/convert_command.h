#pragma once

#include <string>

#include "cli/file_command.h"

namespace kbcfg::cli {

// kbcfg convert IN OUT: loads IN like check and writes OUT in the current layout.
class ConvertCommand : public FileCommand {
  public:
    ConvertCommand();
    void setup(CLI::App& app) override;

  protected:
    int runLoaded(Context& ctx) override;

  private:
    std::string out_;
};

}  // namespace kbcfg::cli
