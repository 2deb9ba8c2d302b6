#include "cli/channel_command.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>

#include "channels/userchan.h"
#include "cli/change_summary.h"
#include "cli/device_libraries.h"
#include "cli/json_output.h"
#include "cli/terminal_host.h"
#include "platform/paths.h"

namespace kbcfg::cli {

namespace {

using T = store::OwnText;

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
        addJsonFlag(app);
    }
    int runLoggedIn(Context& ctx) final {
        channels::userchan page(ctx.host, ctx.session, ctx.image);
        if (ctx.session.loggedInUser == 0) {
            if (!user_) return fail("the administrator names the operator with --user");
            page.userNameField = *user_;
        } else if (user_ && !store::mayWorkOnOperatorNamed(ctx.session, *user_)) {
            return fail("an operator works on his own channels only");
        }
        if (needsKind_) {
            page.showChannelList(kKinds.at(kind_));
            if (page.listedOperator == 0) return kExitFailed;
        }
        return runPage(ctx, page);
    }
    virtual int runPage(Context& ctx, channels::userchan& page) = 0;
    const std::string& kind() const { return kind_; }

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
    void setup(CLI::App& app) override { declare(app); }

  protected:
    int runPage(Context& ctx, channels::userchan& page) override {
        if (ctx.host.json()) {
            auto& out = ctx.host.report();
            out["record"] = page.listedOperator;
            out["kind"] = kind();
            auto& rows = out["channels"] = nlohmann::ordered_json::array();
            for (const auto& r : page.rows)
                rows.push_back({{"position", r.position},
                                {"index", numberOf(r.indexText)},
                                {"port", numberOf(r.port)},
                                {"ip", r.ip},
                                {"channel", r.name}});
            return kExitOk;
        }
        std::printf("%-9s %-10s %-6s %-16s %s\n", "position", "index", "port", "ip", "channel");
        for (const auto& r : page.rows)
            std::printf("%-9d %-10s %-6s %-16s %s\n", r.position, r.indexText.c_str(),
                        r.port.c_str(), r.ip.c_str(), r.name.c_str());
        std::fflush(stdout);
        return kExitOk;
    }
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
    int runPage(Context& ctx, channels::userchan& page) override {
        if (!tick(page, position_)) return kExitFailed;
        if (!typeIndex(page, index_)) return kExitFailed;
        const Outcome outcome = page.changeIndexSingle();
        const bool changed = outcome == Outcome::Done;
        ctx.host.summary(changed ? say(T::SetChannelIndex, {std::to_string(position_),
                                                            std::to_string(numberOf(index_))})
                                 : say(T::ChangedNoIndex),
                         {{"record", page.listedOperator},
                          {"position", position_},
                          {"index", changed ? nlohmann::ordered_json(numberOf(index_))
                                            : nlohmann::ordered_json()}});
        return exitFor(outcome);
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
    int runPage(Context& ctx, channels::userchan& page) override {
        if (!tick(page, from_)) return kExitFailed;
        if (to_ && !tick(page, *to_)) return kExitFailed;
        if (!typeIndex(page, index_)) return kExitFailed;
        std::map<int, std::string> before;
        for (const auto& row : page.rows) before[row.position] = row.indexText;
        const Outcome outcome = page.changeIndexBatch();
        int renumbered = 0;
        if (outcome == Outcome::Done)
            for (const auto& row : page.rows) renumbered += before[row.position] != row.indexText;
        ctx.host.summary(renumbered > 0
                             ? say(T::RenumberedChannels, {counted(renumbered, Noun::Channel),
                                                           std::to_string(numberOf(index_))})
                             : say(T::RenumberedNoChannel),
                         {{"record", page.listedOperator},
                          {"renumbered", renumbered},
                          {"firstIndex", numberOf(index_)}});
        return exitFor(outcome);
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
    int runPage(Context& ctx, channels::userchan& page) override {
        for (int position : positions_)
            if (!tick(page, position)) return kExitFailed;
        const int op = page.listedOperator;
        const ChangeCounter counter(ctx.image, ctx.session.configPath);
        const Outcome outcome = page.deleteCheckedChannels();
        const int deleted =
            counter.before.channels[op].total() - counter.after().channels[op].total();
        ctx.host.summary(deleted > 0 ? say(T::DeletedChannelsOfRecord,
                                           {counted(deleted, Noun::Channel), std::to_string(op)})
                                     : say(T::DeletedNoChannel),
                         {{"record", op}, {"channelsDeleted", deleted}});
        return exitFor(outcome);
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
    int runPage(Context& ctx, channels::userchan& page) override {
        const Outcome outcome = page.writeChannelReport(netSdk());
        if (outcome != Outcome::Done) return exitFor(outcome);
        int leftOut = 0;
        auto failed = nlohmann::ordered_json::array();
        for (const auto& gap : page.reportGaps) {
            leftOut += gap.channelsLeftOut;
            failed.push_back({{"slot", gap.slot},
                              {"ip", gap.ip},
                              {"port", gap.port},
                              {"channelsLeftOut", gap.channelsLeftOut}});
        }
        // The path alone when the report is complete: scripts take it from stdout. A report with
        // channels missing is written all the same but fails the command.
        const std::string path = platform::utf8(page.reportPath);
        ctx.host.summary(
            page.reportGaps.empty()
                ? path
                : say(T::ReportSavedWithGaps,
                      {path, counted(leftOut, Noun::Channel),
                       counted(static_cast<long long>(page.reportGaps.size()), Noun::Device)}),
            {{"report", path}, {"channelsLeftOut", leftOut}, {"failedDevices", failed}});
        return page.reportGaps.empty() ? kExitOk : kExitFailed;
    }
};

}  // namespace

ChannelCommand::ChannelCommand() : CommandGroup("channel", "An operator's channels") {
    add(std::make_unique<ListCommand>(login_));
    add(std::make_unique<SetIndexCommand>(login_));
    add(std::make_unique<RenumberCommand>(login_));
    add(std::make_unique<DeleteCommand>(login_));
    add(std::make_unique<ReportCommand>(login_));
}

}  // namespace kbcfg::cli
