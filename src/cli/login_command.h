#pragma once
// Base of the editing commands: they log in to a configuration file first, exactly as the login
// dialog does (-f FILE -u USER, the password from -p or KBCFG_PASSWORD), then run with the
// loaded image. The file is locked against other writers from the login to the end of the
// command.

#include <optional>
#include <string>

#include "cli/command.h"

namespace kbcfg::cli {

// The login options, declared once on a command group and shared by its subcommands.
struct LoginOptions {
    std::string file;
    std::string user;
    std::optional<std::string> password;

    void declare(CLI::App& group);
    // The password as given, or from the environment, or empty.
    std::string effectivePassword() const;
};

class LoginCommand : public Command {
  public:
    LoginCommand(std::string name, std::string description, const LoginOptions& login,
                 bool administratorOnly);
    int run(Context& ctx) final;

  protected:
    // Runs once the login succeeded.
    virtual int runLoggedIn(Context& ctx) = 0;

  private:
    const LoginOptions& login_;
    bool administratorOnly_;
};

}  // namespace kbcfg::cli
