#pragma once
// Base of the editing commands: they log in to a configuration file first, exactly as the login
// dialog does (-f FILE -u USER, the password from -p or KBCFG_PASSWORD), then run with the
// loaded image. The file is locked against other writers from the login to the end of the
// command, and the file as it was is copied into the backup folder before the first change.

#include <optional>
#include <string>
#include <vector>

#include "cli/command.h"

namespace CLI {
class Option;
}

namespace kbcfg::cli {

// The login options. They may be given before the command group, after it or after the
// subcommand, so they are declared on every level, all bound to one set of values.
class LoginOptions {
  public:
    std::string file;
    std::string user;
    std::optional<std::string> password;
    bool noBackup = false;

    // Declares the options on app under the names app does not use for options of its own (a
    // subcommand's own --password or --user keeps its meaning; -p and -u still log in there).
    // Call it after the command's own options are declared.
    void declare(CLI::App& app);
    // Takes the values given on an outer level (the options before the command group).
    void adopt(const LoginOptions& outer);
    // Whether any of the options was given on the command line.
    bool given() const;
    // After parsing: each option given at most once over all levels, -f and -u given. Throws the
    // same CLI::ParseError the parser gives for one level.
    void check() const;
    // The password as given, or from the environment, or empty.
    std::string effectivePassword() const;

  private:
    struct Declared {
        const char* name;  // "--file", "--user", "--password", "--no-backup"
        CLI::Option* option;
    };
    std::vector<Declared> declared_;
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
