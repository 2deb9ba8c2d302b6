#pragma once
// `kbcfg completion bash|zsh|fish`: a shell completion script written from the command tree
// itself (subcommands, options with their help, flags, choices, file arguments), so it follows
// every change of the commands. An option whose value is a path is recognised by its name or help
// ("--file", "--password-file", "JSON file to write", "Folder for ..."); one that says neither
// declares it with ->type_name("FILE") or ("FOLDER").

#include <string>

#include "cli/command.h"

namespace kbcfg::cli {

class CompletionCommand : public Command {
  public:
    CompletionCommand();
    void setup(CLI::App& app) override;
    int run(Context& ctx) override;

  private:
    const CLI::App* root_ = nullptr;
    std::string shell_;
};

}  // namespace kbcfg::cli
