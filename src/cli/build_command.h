#pragma once

#include <string>

#include "cli/command.h"

namespace kbcfg::cli {

// kbcfg build IN.json OUT.bin [--base FILE]: a current-layout file from the JSON text form.
class BuildCommand : public Command {
  public:
    BuildCommand();
    void setup(CLI::App& app) override;
    int run(Context& ctx) override;

  private:
    std::string in_;
    std::string out_;
    std::string base_;
};

}  // namespace kbcfg::cli
