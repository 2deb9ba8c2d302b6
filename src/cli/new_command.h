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

// The fresh image `new` writes: header, administrator record 0, operators 1..3 free with their
// tables cleared, every other byte zero, checksum computed. Name and password are UTF-8 and
// already checked.
void buildFreshImage(store::ConfigImage& image, const std::string& admin,
                     const std::string& password);

}  // namespace kbcfg::cli
