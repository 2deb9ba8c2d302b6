#include "cli/channel_command.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>

#include "channels/userchan.h"
#include "cli/device_libraries.h"
#include "cli/terminal_host.h"

namespace kbcfg::cli {

namespace {

using channels::ChannelListKind;
using store::Outcome;

const std::map<std::string, ChannelListKind> kKinds = {{"input", ChannelListKind::Input},
                                                       {"output", ChannelListKind::Output},
                                                       {"wall", ChannelListKind::WallScene}};

// Base of the channel commands: the page with the user's name typed in and, for the list
// commands, the list of the kind shown.
class ChannelBase : public LoginCommand {
  public:
    ChannelBase(std::string name, std::string description, const LoginOptions& login,
                bool needsKind)
        : LoginCommand(std::move(name), std::move(description), login, false),
          needsKind_(needsKind) {}

  protected:
    void declare(CLI::App& app) {
        app.add_option("--user", user_, "Operator whose channels to work on (operators: own name)");
        if (needsKind_)
            app.add_option("--kind", kind_, "input, output or wall")
                ->required()
                ->check(CLI::IsMember({"input", "output", "wall"}));
    }
    int runLoggedIn(Context& ctx) final {
        channels::userchan page(ctx.host, ctx.session, ctx.image);
        if (ctx.session.loggedInUser == 0) {
            if (!user_) return fail("the administrator names the operator with --user");
            page.userNameField = *user_;
        } else if (user_ && *user_ != ctx.session.currentUserName) {
            return fail("an operator works on his own channels only");
        }
        if (needsKind_) {
            page.showChannelList(kKinds.at(kind_));
            if (page.listedOperator == 0) return kExitFailed;
        }
        return runPage(ctx, page);
    }
    virtual int runPage(Context& ctx, channels::userchan& page) = 0;

    // Types the index into the field; false when the live limit refused it (its message said so).
    static bool typeIndex(channels::userchan& page, const std::string& text) {
        page.newIndexField = text;
        page.onNewIndexChanged();
        return !(page.newIndexField.empty() && !text.empty());
    }

    // Ticks the row of a channel position; false (after saying so) when the list has none.
    bool tick(channels::userchan& page, int position) {
        if (!tickRows(page.rows, {position},
                      [](const channels::ChannelRow& row) { return row.position; }))
            return true;
        fail("position " + std::to_string(position) + " is not a row of the " + kind_ + " list");
        return false;
    }

  private:
    bool needsKind_;
    std::optional<std::string> user_;
    std::string kind_;
};

class ListCommand : public ChannelBase {
  public:
    explicit ListCommand(const LoginOptions& login)
        : ChannelBase("list", "List an operator's channels of one kind", login, true) {}
    void setup(CLI::App& app) override {
        declare(app);
        app.add_flag("--json", json_, "JSON output");
    }

  protected:
    int runPage(Context&, channels::userchan& page) override {
        if (json_) {
            nlohmann::ordered_json rows = nlohmann::ordered_json::array();
            for (const auto& r : page.rows)
                rows.push_back({{"position", r.position},
                                {"index", r.indexText},
                                {"port", r.port},
                                {"ip", r.ip},
                                {"channel", r.name}});
            std::cout << rows.dump(2) << std::endl;
            return kExitOk;
        }
        std::printf("%-9s %-10s %-6s %-16s %s\n", "position", "index", "port", "ip", "channel");
        for (const auto& r : page.rows)
            std::printf("%-9d %-10s %-6s %-16s %s\n", r.position, r.indexText.c_str(),
                        r.port.c_str(), r.ip.c_str(), r.name.c_str());
        std::fflush(stdout);
        return kExitOk;
    }

  private:
    bool json_ = false;
};

class SetIndexCommand : public ChannelBase {
  public:
    explicit SetIndexCommand(const LoginOptions& login)
        : ChannelBase("set-index", "Give one channel a new index (the single change)", login,
                      true) {}
    void setup(CLI::App& app) override {
        declare(app);
        app.add_option("--position", position_, "Channel position")->required();
        app.add_option("--index", index_, "New index, as typed")->required();
    }

  protected:
    int runPage(Context&, channels::userchan& page) override {
        if (!tick(page, position_)) return kExitFailed;
        if (!typeIndex(page, index_)) return kExitFailed;
        return exitFor(page.changeIndexSingle());
    }

  private:
    int position_ = 0;
    std::string index_;
};

class RenumberCommand : public ChannelBase {
  public:
    explicit RenumberCommand(const LoginOptions& login)
        : ChannelBase("renumber", "Renumber a run of channels upward (the batch change)", login,
                      true) {}
    void setup(CLI::App& app) override {
        declare(app);
        app.add_option("--from", from_, "Position of the first channel")->required();
        app.add_option("--to", to_, "Position of the last channel (default: the end of the list)");
        app.add_option("--index", index_, "First new index, as typed")->required();
    }

  protected:
    int runPage(Context&, channels::userchan& page) override {
        if (!tick(page, from_)) return kExitFailed;
        if (to_ && !tick(page, *to_)) return kExitFailed;
        if (!typeIndex(page, index_)) return kExitFailed;
        return exitFor(page.changeIndexBatch());
    }

  private:
    int from_ = 0;
    std::optional<int> to_;
    std::string index_;
};

class DeleteCommand : public ChannelBase {
  public:
    explicit DeleteCommand(const LoginOptions& login)
        : ChannelBase("delete", "Delete channels", login, true) {}
    void setup(CLI::App& app) override {
        declare(app);
        app.add_option("--position", positions_, "Channel position (repeatable)")->required();
    }

  protected:
    int runPage(Context&, channels::userchan& page) override {
        for (int position : positions_)
            if (!tick(page, position)) return kExitFailed;
        return exitFor(page.deleteCheckedChannels());
    }

  private:
    std::vector<int> positions_;
};

class ReportCommand : public ChannelBase {
  public:
    explicit ReportCommand(const LoginOptions& login)
        : ChannelBase("report", "Write the operator's channel report beside the file", login,
                      false) {}
    void setup(CLI::App& app) override { declare(app); }

  protected:
    int runPage(Context&, channels::userchan& page) override {
        const Outcome outcome = page.writeChannelReport(netSdk());
        if (outcome == Outcome::Done) std::cout << page.reportPath.string() << std::endl;
        return exitFor(outcome);
    }
};

}  // namespace

ChannelCommand::ChannelCommand() : CommandGroup("channel", "An operator's channels") {
    add(std::make_unique<ListCommand>(login));
    add(std::make_unique<SetIndexCommand>(login));
    add(std::make_unique<RenumberCommand>(login));
    add(std::make_unique<DeleteCommand>(login));
    add(std::make_unique<ReportCommand>(login));
}

}  // namespace kbcfg::cli
