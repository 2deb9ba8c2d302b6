#pragma once
// Base of the commands that read a configuration file: it loads the file exactly as the login
// does (unscramble in memory, recognise and convert the layout, check magic and checksum).

#include <cstdint>
#include <filesystem>
#include <string>

#include "cli/command.h"

#include "platform/paths.h"
namespace kbcfg::cli {

class FileCommand : public Command {
  public:
    using Command::Command;
    int run(Context& ctx) final;

  protected:
    // Declares the positional argument naming the file to open.
    void addFileArgument(CLI::App& app, const std::string& name, const std::string& help);
    // Runs with the file loaded into ctx.image.
    virtual int runLoaded(Context& ctx) = 0;

    std::filesystem::path file() const { return platform::fromUtf8(file_); }
    // The layout version the file itself carries (older layouts are converted on load).
    std::uint32_t fileVersion() const { return fileVersion_; }

  private:
    std::string file_;
    std::uint32_t fileVersion_ = 0;
};

}  // namespace kbcfg::cli
