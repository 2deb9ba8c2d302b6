#pragma once
// One class per command. The dispatcher gives each command its own CLI11 subcommand to declare
// its arguments on, and runs the one the user named with the process's host, session and image.
//
// Commands that open a configuration file derive from FileCommand; the editing commands, which
// log in to the file first, derive from LoginCommand and come in a CommandGroup.

#include <optional>
#include <string>
#include <vector>

#include "store/config_image.h"
#include "store/outcome.h"
#include "store/session.h"

namespace CLI {
class App;
}

namespace kbcfg::cli {

class TerminalHost;
class LoginOptions;

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // refused or failed; a message said why
inline constexpr int kExitUsage = 2;

// A presenter operation's outcome as the exit status.
inline int exitFor(store::Outcome outcome) {
    return outcome == store::Outcome::Done ? kExitOk : kExitFailed;
}

struct Context {
    TerminalHost& host;
    store::SessionState& session;
    store::ConfigImage& image;
};

// Ticks the rows whose key (the hidden slot, record or position column) is one of `keys`, as a
// user ticks them on the page; the first key no row has, or nullopt when every key was found.
template <class Row, class KeyOf>
std::optional<int> tickRows(std::vector<Row>& rows, const std::vector<int>& keys, KeyOf keyOf) {
    for (int key : keys) {
        bool found = false;
        for (Row& row : rows) {
            if (keyOf(row) == key) {
                row.checked = true;
                found = true;
            }
        }
        if (!found) return key;
    }
    return std::nullopt;
}

// Says on stderr "kbcfg: what" for a failure that no catalogue message covers; with --json it
// also goes into the object's "errors". Call it on the main thread.
void reportFailure(const std::string& what);
// The host whose JSON object takes the failures reported (null: none).
void collectFailuresIn(TerminalHost* host);

class Command {
  public:
    Command(std::string name, std::string description);
    virtual ~Command() = default;
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

    const std::string& name() const { return name_; }
    const std::string& description() const { return description_; }

    // Declares the command's arguments and options on its subcommand.
    virtual void setup(CLI::App& app) = 0;
    // Runs the command once the arguments are parsed; returns the exit status.
    virtual int run(Context& ctx) = 0;
    // The options of a command that logs in to a file, so that the ones given before the
    // command's name can be handed to it; nullptr for a command that does not log in.
    virtual LoginOptions* loginOptions() { return nullptr; }

  protected:
    // A failure that no catalogue message covers: "kbcfg: what" on stderr.
    static int fail(const std::string& what);

  private:
    std::string name_;
    std::string description_;
};

}  // namespace kbcfg::cli
