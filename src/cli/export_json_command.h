#pragma once

#include <string>

#include "cli/file_command.h"

namespace kbcfg::cli {

// kbcfg export-json FILE [-o OUT.json] [--with-passwords]: the lossless text form of a file.
class ExportJsonCommand : public FileCommand {
  public:
    ExportJsonCommand();
    void setup(CLI::App& app) override;

  protected:
    int runLoaded(Context& ctx) override;

  private:
    std::string out_;
    bool withPasswords_ = false;
};

}  // namespace kbcfg::cli
