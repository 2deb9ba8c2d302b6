#pragma once
// A command with subcommands of its own ("kbcfg device add ..."): it declares the login options
// for all of them and runs the one that was named.

#include <map>
#include <memory>
#include <vector>

#include "cli/login_command.h"

namespace kbcfg::cli {

class CommandGroup : public Command {
  public:
    // withLogin: the group's commands log in to a configuration file first (-f, -u, -p).
    CommandGroup(std::string name, std::string description, bool withLogin = true)
        : Command(std::move(name), std::move(description)), withLogin_(withLogin) {}
    void setup(CLI::App& app) final;
    int run(Context& ctx) final;
    LoginOptions* loginOptions() final { return withLogin_ ? &login_ : nullptr; }

  protected:
    void add(std::unique_ptr<Command> command) { children_.push_back(std::move(command)); }
    LoginOptions login_;

  private:
    bool withLogin_;
    CLI::App* app_ = nullptr;
    std::vector<std::unique_ptr<Command>> children_;
    std::map<CLI::App*, Command*> bySubcommand_;
};

}  // namespace kbcfg::cli
