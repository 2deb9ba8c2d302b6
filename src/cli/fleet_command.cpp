#include "cli/fleet_command.h"

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <nlohmann/json.hpp>

#include "cli/json_output.h"
#include "cli/terminal_host.h"
#include "platform/console.h"
#include "platform/environment.h"
#ifdef KBCFG_HISTORY
#include "history/git_repository.h"
#endif
#include "platform/paths.h"
#include "remote/dynamic_netsdk.h"
#include "remote/fleet.h"
#include "remote/fleet_config.h"
#include "remote/keyboard_fields.h"
#include "store/files.h"
#include "store/full_path.h"
#include "store/own_texts.h"
#include "store/printable.h"

namespace kbcfg::cli {

namespace {

using remote::FleetJob;
using remote::FleetKeyboard;
using remote::FleetState;
using remote::FleetStatus;
using store::counted;
using store::displayWidth;
using store::Noun;
using store::say;
using T = store::OwnText;

// A state as people read it; the JSON keeps the code (remote::stateName).
std::string stateText(FleetState state) {
    switch (state) {
        case FleetState::Waiting:
            return say(T::StateWaiting);
        case FleetState::Running:
            return say(T::StateRunning);
        case FleetState::Done:
            return say(T::StateDone);
        case FleetState::Failed:
            return say(T::StateFailed);
    }
    return "?";
}

// Each worker opens the library for itself; a missing library is told once, not once a worker.
std::unique_ptr<remote::NetSdk> workerSdk() {
    static std::once_flag told;
    return std::make_unique<remote::DynamicNetSdk>([](const std::string& problem) {
        std::call_once(told, [&] { std::cerr << "kbcfg: " << problem << std::endl; });
    });
}

std::string where(const FleetKeyboard& k) {
    return k.address.toString() + ":" + std::to_string(numberOf(k.port));
}

// What the run shows while it works: on a terminal a table redrawn in place, one line per
// keyboard; elsewhere a plain line each time a keyboard starts or ends.
class Progress {
  public:
    Progress(const std::vector<FleetKeyboard>& keyboards, bool quiet)
        : keyboards_(keyboards), statuses_(keyboards.size()), quiet_(quiet) {
        for (const auto& k : keyboards) {
            nameWidth_ = std::max(nameWidth_, displayWidth(k.name));
            whereWidth_ = std::max(whereWidth_, where(k).size());
        }
        const bool terminal = platform::isTerminal(platform::Stream::Out);
        if (const auto size = platform::terminalSize(platform::Stream::Out)) {
            columns_ = size->columns;
            // A table taller than the screen cannot be redrawn in place.
            live_ = size->rows == 0 || keyboards.size() + 2 <= size->rows;
        } else {
            live_ = terminal;
        }
        if (!quiet_ && live_) draw(true);
    }

    // Called by the workers one at a time.
    void update(std::size_t i, const FleetStatus& status) {
        if (quiet_) return;
        const bool changed = status.state != statuses_[i].state;
        statuses_[i] = status;
        if (!live_) {
            if (changed) std::cout << line(i) << std::endl;
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (changed || now - drawn_ >= std::chrono::milliseconds(100)) draw(false);
    }
    void finish(const std::vector<FleetStatus>& statuses) {
        statuses_ = statuses;
        if (!quiet_ && live_) draw(false);
    }

  private:
    std::string line(std::size_t i) const {
        const FleetStatus& s = statuses_[i];
        char progress[16];
        std::snprintf(progress, sizeof progress, "%d%%", s.progress);
        std::string text = pad(keyboards_[i].name, nameWidth_) + "  " +
                           pad(where(keyboards_[i]), whereWidth_) + "  " +
                           pad(stateText(s.state), stateWidth()) + "  " +
                           padLeft(progress, progressWidth()) + "  " + s.message;
        if (!s.output.empty()) text += " " + platform::utf8(s.output);
        while (!text.empty() && text.back() == ' ') text.pop_back();
        return text;
    }
    // Widths in terminal columns: Chinese captions and states take two a character.
    static std::string pad(const std::string& text, std::size_t width) {
        const std::size_t used = displayWidth(text);
        return used >= width ? text : text + std::string(width - used, ' ');
    }
    static std::string padLeft(const std::string& text, std::size_t width) {
        const std::size_t used = displayWidth(text);
        return used >= width ? text : std::string(width - used, ' ') + text;
    }
    static std::size_t stateWidth() {
        std::size_t width = displayWidth(say(T::FleetState));
        for (auto s :
             {FleetState::Waiting, FleetState::Running, FleetState::Done, FleetState::Failed})
            width = std::max(width, displayWidth(stateText(s)));
        return width;
    }
    static std::size_t progressWidth() {
        return std::max<std::size_t>(displayWidth(say(T::FleetProgress)), 4);
    }
    void draw(bool first) {
        // Back to the header, then every line again, each cut to the screen's width so that none
        // wraps and the next redraw lands where this one began.
        if (!first) std::cout << "\x1b[" << keyboards_.size() + 1 << "A";
        auto put = [&](std::string text) {
            if (columns_ > 1 && text.size() > columns_ - 1) text.resize(columns_ - 1);
            std::cout << "\r\x1b[2K" << text << "\n";
        };
        put(pad(say(T::FleetName), nameWidth_) + "  " + pad(say(T::FleetAddress), whereWidth_) +
            "  " + pad(say(T::FleetState), stateWidth()) + "  " +
            pad(say(T::FleetProgress), progressWidth()) + "  " + say(T::FleetMessage));
        for (std::size_t i = 0; i < keyboards_.size(); ++i) put(line(i));
        std::cout << std::flush;
        drawn_ = std::chrono::steady_clock::now();
    }

    const std::vector<FleetKeyboard>& keyboards_;
    std::vector<FleetStatus> statuses_;
    bool quiet_;
    bool live_ = false;
    std::size_t columns_ = 0;
    std::size_t nameWidth_ = displayWidth(say(T::FleetName)),
                whereWidth_ = displayWidth(say(T::FleetAddress));
    std::chrono::steady_clock::time_point drawn_{};
};

nlohmann::ordered_json keyboardJson(const FleetKeyboard& k, const FleetStatus& s, bool withFile) {
    nlohmann::ordered_json out = {{"name", k.name},           {"ip", k.address.toString()},
                                  {"port", numberOf(k.port)}, {"state", remote::stateName(s.state)},
                                  {"progress", s.progress},   {"message", s.message}};
    if (withFile)
        out["file"] =
            s.output.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(s.output);
    out["milliseconds"] = s.milliseconds;
    out["messages"] = nlohmann::ordered_json::array();
    for (const auto& [number, text] : s.messages)
        out["messages"].push_back({{"message", number}, {"text", text}});
    return out;
}

// What every fleet command reads first: the inventory, the passwords and the number of jobs.
class FleetCommandBase : public Command {
  public:
    using Command::Command;

  protected:
    void addFleetOptions(CLI::App& app) {
        app.add_option("--inventory", inventory_,
                       "Keyboards: CSV lines name,ip,port, or a JSON array of "
                       "{\"name\", \"ip\", \"port\"}")
            ->required();
        app.add_option("--jobs", jobs_, "Keyboards worked on at once (default 8)")
            ->check(CLI::Range(1, remote::kMaxFleetJobs));
        app.add_option("--password-file", passwordFile_,
                       "Lines NAME:PASSWORD and *:PASSWORD for the others; mode 0600 (default "
                       "for every keyboard: KBCFG_PASSWORD, else empty)");
        addJsonFlag(app);
    }
    // The keyboards with their passwords; nullopt after saying why not.
    std::optional<std::vector<FleetKeyboard>> readKeyboards() const {
        std::string error;
        auto keyboards = remote::readInventory(platform::fromUtf8(inventory_), error);
        if (!keyboards) return failed(inventory_ + ": " + error);
        std::map<std::string, std::string> passwords;
        if (passwordFile_) {
            auto read = remote::readPasswordFile(platform::fromUtf8(*passwordFile_), error);
            if (!read) return failed(*passwordFile_ + ": " + error);
            passwords = std::move(*read);
        }
        const std::optional<std::string> fallback = platform::environment("KBCFG_PASSWORD");
        if (!remote::assignPasswords(*keyboards, passwords, fallback, error)) return failed(error);
        return keyboards;
    }
    // The keys every fleet command's JSON starts with.
    nlohmann::ordered_json fleetKeys() const {
        auto keys = nlohmann::ordered_json::object();
        keys["inventory"] = inventory_;
        keys["jobs"] = jobs_;
        return keys;
    }

    std::string inventory_;
    std::optional<std::string> passwordFile_;
    int jobs_ = remote::kDefaultFleetJobs;

  private:
    static std::nullopt_t failed(const std::string& what) {
        fail(what);
        return std::nullopt;
    }
};

// A fleet command: read the inventory and the passwords, run the job, show and sum it up.
class FleetJobCommand : public FleetCommandBase {
  public:
    using FleetCommandBase::FleetCommandBase;

    void setup(CLI::App& app) override {
        addFleetOptions(app);
        declare(app);
    }

    int run(Context& ctx) override {
        auto keyboards = readKeyboards();
        if (!keyboards) return kExitFailed;
        std::string error;
        FleetJob job = this->job();
        job.jobs = jobs_;
        // Once, before any keyboard is contacted: the file checks of the one-keyboard commands
        // (the path limits, message 210 or 211), then the file itself.
        if (!job.file.empty()) {
            if (!remote::checkPathLimits(ctx.host, job.file)) return kExitFailed;
            std::error_code ec;
            if (!std::filesystem::is_regular_file(job.file, ec))
                return fail(platform::utf8(job.file) + ": not a file that can be sent");
        }
        if (job.task == remote::FleetTask::Export &&
            !remote::prepareExportFolder(job.folder, *keyboards, error))
            return fail(error);

        Progress progress(*keyboards, ctx.host.json());
        const auto statuses =
            remote::runFleet(*keyboards, job, workerSdk,
                             [&](std::size_t i, const FleetStatus& s) { progress.update(i, s); });
        progress.finish(statuses);

        std::size_t done = 0;
        std::string failedNames;
        auto keys = fleetKeys();
        addKeys(keys);
        keys["keyboards"] = nlohmann::ordered_json::array();
        for (std::size_t i = 0; i < statuses.size(); ++i) {
            keys["keyboards"].push_back(keyboardJson((*keyboards)[i], statuses[i], withFile()));
            if (statuses[i].state == FleetState::Done)
                ++done;
            else
                failedNames += (failedNames.empty() ? "" : ", ") + (*keyboards)[i].name;
        }
        const std::size_t failed = statuses.size() - done;
        keys["done"] = done;
        keys["failed"] = failed;
        std::string line = summary(done, statuses.size());
        if (failed) line += say(T::FleetFailedNamed, {std::to_string(failed), failedNames});
        ctx.host.summary(line, keys);
        return failed ? kExitFailed : kExitOk;
    }

  protected:
    virtual void declare(CLI::App& app) = 0;
    virtual FleetJob job() const = 0;
    virtual void addKeys(nlohmann::ordered_json& keys) const = 0;
    virtual bool withFile() const { return false; }
    // "exported 3 of 4 keyboards into DIR"
    virtual std::string summary(std::size_t done, std::size_t total) const = 0;
};

class FleetExport : public FleetJobCommand {
  public:
    FleetExport()
        : FleetJobCommand(
              "export",
              "Fetch every keyboard's configuration into DIR/NAME/DATE-TIME.bin (DATE-TIME-2.bin "
              "and so on within one second)") {}

  protected:
    void declare(CLI::App& app) override {
        app.add_option("--output", output_, "Folder for the files (made 0700 when missing)")
            ->required();
    }
    FleetJob job() const override {
        FleetJob job;
        job.task = remote::FleetTask::Export;
        job.folder = store::fullPath(platform::fromUtf8(output_));
        job.stamp = store::localTimeStamp();
        return job;
    }
    void addKeys(nlohmann::ordered_json& keys) const override { keys["output"] = output_; }
    bool withFile() const override { return true; }
    std::string summary(std::size_t done, std::size_t total) const override {
        return say(T::FleetExported,
                   {std::to_string(done), counted(static_cast<long long>(total), Noun::Keyboard),
                    output_});
    }

  private:
    std::string output_;
};

class FleetImport : public FleetJobCommand {
  public:
    FleetImport() : FleetJobCommand("import", "Send one configuration file to every keyboard") {}

  protected:
    void declare(CLI::App& app) override {
        app.add_option("--file", file_, "Configuration file to send")->required();
    }
    FleetJob job() const override {
        FleetJob job;
        job.task = remote::FleetTask::Import;
        job.file = store::fullPath(platform::fromUtf8(file_));
        return job;
    }
    void addKeys(nlohmann::ordered_json& keys) const override { keys["file"] = file_; }
    std::string summary(std::size_t done, std::size_t total) const override {
        return say(T::FleetSent, {file_, std::to_string(done),
                                  counted(static_cast<long long>(total), Noun::Keyboard)});
    }

  private:
    std::string file_;
};

class FleetUpgrade : public FleetJobCommand {
  public:
    FleetUpgrade()
        : FleetJobCommand("upgrade", "Upgrade the firmware or the panel of every keyboard") {}

  protected:
    void declare(CLI::App& app) override {
        app.add_option("--file", file_, "Upgrade package")->required();
        app.add_flag("--panel", panel_, "A program for the panels' microcontroller");
    }
    FleetJob job() const override {
        FleetJob job;
        job.task = remote::FleetTask::Upgrade;
        job.file = store::fullPath(platform::fromUtf8(file_));
        job.panel = panel_;
        return job;
    }
    void addKeys(nlohmann::ordered_json& keys) const override {
        keys["file"] = file_;
        keys["panel"] = panel_;
    }
    std::string summary(std::size_t done, std::size_t total) const override {
        return say(
            panel_ ? T::FleetUpgradedPanel : T::FleetUpgradedFirmware,
            {std::to_string(done), counted(static_cast<long long>(total), Noun::Keyboard), file_});
    }

  private:
    std::string file_;
    bool panel_ = false;
};

// "kb3  changed" and the changes below it, indented; the changes are the diff's own lines.
void printKeyboard(const std::string& name, std::size_t width, const std::string& state,
                   const std::vector<std::string>& changes) {
    std::cout << name << std::string(width - std::min(width, displayWidth(name)) + 2, ' ') << state
              << '\n';
    for (const std::string& c : changes) std::cout << std::string(width + 2, ' ') << c << '\n';
}

std::size_t nameWidth(const std::vector<FleetKeyboard>& keyboards) {
    std::size_t width = 0;
    for (const auto& k : keyboards) width = std::max(width, displayWidth(k.name));
    return width;
}

nlohmann::ordered_json keyboardKeys(const FleetKeyboard& k, const char* state) {
    return {{"name", k.name},
            {"ip", k.address.toString()},
            {"port", numberOf(k.port)},
            {"state", state}};
}

// The progress of the keyboards' calls: on a terminal only, where it is redrawn in place; a
// plan or a backup is what the output is for.
class QuietProgress {
  public:
    QuietProgress(const std::vector<FleetKeyboard>& keyboards, bool json)
        : progress_(keyboards, json || !platform::isTerminal(platform::Stream::Out)) {}
    remote::FleetObserver observer() {
        return [this](std::size_t i, const FleetStatus& s) { progress_.update(i, s); };
    }
    void finish(const std::vector<FleetStatus>& statuses) { progress_.finish(statuses); }

  private:
    Progress progress_;
};

class FleetBackup : public FleetCommandBase {
  public:
    FleetBackup()
        : FleetCommandBase("backup",
                           "Fetch every keyboard's configuration into a git repository: "
                           "DIR/NAME/config.json without passwords, one commit per run") {}

    void setup(CLI::App& app) override {
        addFleetOptions(app);
        app.add_option("--repo", repo_, "The repository's folder (made when missing)")->required();
    }

    int run(Context& ctx) override {
#ifndef KBCFG_HISTORY
        // Built without libgit2 (the Windows build): nothing is read or written.
        (void)ctx;
        return fail("fleet backup: this build of kbcfg has no backup history (built without git)");
#else
        auto keyboards = readKeyboards();
        if (!keyboards) return kExitFailed;
        std::string error;
        const auto repository =
            history::GitRepository::open(store::fullPath(platform::fromUtf8(repo_)), error);
        if (!repository) return fail(error);
        QuietProgress progress(*keyboards, ctx.host.json());
        const remote::BackupRun run =
            remote::backupFleet(*keyboards, *repository, jobs_, workerSdk, progress.observer());
        progress.finish(run.statuses);
        if (!run.error.empty()) return fail(store::printablePath(repo_) + ": " + run.error);

        auto keys = fleetKeys();
        keys["repo"] = repo_;
        keys["keyboards"] = nlohmann::ordered_json::array();
        std::size_t changed = 0, missed = 0;
        const std::size_t width = nameWidth(*keyboards);
        for (std::size_t i = 0; i < keyboards->size(); ++i) {
            const remote::BackupEntry& e = run.entries[i];
            const FleetKeyboard& k = (*keyboards)[i];
            auto o = keyboardKeys(k, remote::backupStateName(e.state));
            o["changes"] = e.changes;
            if (e.state == remote::BackupState::NotReached) {
                ++missed;
                o["message"] = run.statuses[i].message;
            } else if (e.state != remote::BackupState::Unchanged) {
                ++changed;
            }
            keys["keyboards"].push_back(std::move(o));
            if (!ctx.host.json())
                printKeyboard(k.name, width,
                              e.state == remote::BackupState::NotReached
                                  ? std::string("not reached: ") + run.statuses[i].message
                                  : remote::backupStateName(e.state),
                              e.changes);
        }
        keys["commit"] =
            run.commit.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(run.commit);
        keys["changed"] = changed;
        keys["notReached"] = missed;
        ctx.host.summary(
            run.commit.empty()
                ? say(T::FleetBackupNothing, {repo_, std::to_string(missed)})
                : say(T::FleetBackupCommitted, {run.commit.substr(0, 12), repo_,
                                                std::to_string(changed), std::to_string(missed)}),
            keys);
        return missed ? kExitFailed : kExitOk;
#endif
    }

  private:
    std::string repo_;
};

// Plan and apply: both read the desired state from a folder and show the plan.
class FleetPlanCommand : public FleetCommandBase {
  public:
    FleetPlanCommand(std::string name, std::string description)
        : FleetCommandBase(std::move(name), std::move(description)) {}

    void setup(CLI::App& app) override {
        addFleetOptions(app);
        app.add_option("--desired", desired_,
                       "Folder with NAME/config.json for each managed keyboard (a backup's "
                       "repository)")
            ->required();
    }

  protected:
    // Plans, and shows the plan (printed, or its keys). Exit status 2 when something changes.
    int plan(Context& ctx, const std::vector<FleetKeyboard>& keyboards, remote::FleetPlan& plan,
             nlohmann::ordered_json& keys) {
        QuietProgress progress(keyboards, ctx.host.json());
        plan = remote::planFleet(keyboards, store::fullPath(platform::fromUtf8(desired_)), jobs_,
                                 workerSdk, progress.observer());
        progress.finish(plan.statuses);
        keys = fleetKeys();
        keys["desired"] = desired_;
        keys["plan"] = nlohmann::ordered_json::array();
        std::size_t counts[4] = {};
        const std::size_t width = nameWidth(keyboards);
        for (std::size_t i = 0; i < keyboards.size(); ++i) {
            const remote::KeyboardPlan& p = plan.keyboards[i];
            ++counts[static_cast<int>(p.state)];
            auto o = keyboardKeys(keyboards[i], remote::planStateName(p.state));
            o["changes"] = p.changes;
            if (!p.problem.empty()) o["problem"] = p.problem;
            keys["plan"].push_back(std::move(o));
            if (ctx.host.json()) continue;
            std::string state = remote::planStateName(p.state);
            if (p.state == remote::PlanState::Failed) state += ": " + p.problem;
            printKeyboard(keyboards[i].name, width, state, p.changes);
        }
        using P = remote::PlanState;
        keys["toChange"] = counts[static_cast<int>(P::Changes)];
        keys["unchanged"] = counts[static_cast<int>(P::NoChanges)];
        keys["notManaged"] = counts[static_cast<int>(P::NotManaged)];
        keys["failed"] = counts[static_cast<int>(P::Failed)];
        planLine_ =
            say(T::FleetPlanSummary, {std::to_string(counts[static_cast<int>(P::Changes)]),
                                      std::to_string(counts[static_cast<int>(P::NoChanges)]),
                                      std::to_string(counts[static_cast<int>(P::NotManaged)]),
                                      std::to_string(counts[static_cast<int>(P::Failed)])});
        if (plan.failures()) return kExitFailed;
        return plan.changes() ? kExitChanges : kExitOk;
    }

    // Terraform's -detailed-exitcode: 2 when the plan changes something.
    static constexpr int kExitChanges = 2;
    std::string desired_;
    std::string planLine_;
};

class FleetPlan : public FleetPlanCommand {
  public:
    FleetPlan()
        : FleetPlanCommand("plan",
                           "Show what apply would change on each keyboard (exit status 0: "
                           "nothing, 2: changes, 1: a keyboard or its text form failed)") {}

    int run(Context& ctx) override {
        auto keyboards = readKeyboards();
        if (!keyboards) return kExitFailed;
        remote::FleetPlan planned;
        nlohmann::ordered_json keys;
        const int status = plan(ctx, *keyboards, planned, keys);
        ctx.host.summary(planLine_, keys);
        return status;
    }
};

class FleetApply : public FleetPlanCommand {
  public:
    FleetApply()
        : FleetPlanCommand("apply",
                           "Plan, then send each keyboard its desired configuration, verify it and "
                           "roll back what does not verify") {}

    void setup(CLI::App& app) override {
        FleetPlanCommand::setup(app);
        app.add_option("--canary", canary_,
                       "Apply to the first K keyboards with changes one at a time, and stop "
                       "when one of them does not end applied")
            ->check(CLI::NonNegativeNumber);
        app.add_flag("--yes", yes_, "Apply without asking (needed without a terminal)");
    }

    int run(Context& ctx) override {
        auto keyboards = readKeyboards();
        if (!keyboards) return kExitFailed;
        remote::FleetPlan planned;
        nlohmann::ordered_json keys;
        const int plannedStatus = plan(ctx, *keyboards, planned, keys);
        keys["canary"] = canary_;
        if (!planned.changes()) {
            ctx.host.summary(planLine_ + "; " + say(T::FleetNothingToApply), keys);
            return plannedStatus == kExitFailed ? kExitFailed : kExitOk;
        }
        std::size_t changes = 0;
        for (const auto& p : planned.keyboards) changes += p.state == remote::PlanState::Changes;
        ctx.host.setAssumeYes(yes_);
        if (!ctx.host.confirm(say(T::FleetApplyAsk,
                                  {counted(static_cast<long long>(changes), Noun::Keyboard)}))) {
            if (!yes_ && !platform::isTerminal(platform::Stream::In))
                return fail(say(T::FleetApplyNeedsYes));
            ctx.host.summary(planLine_ + "; " + say(T::FleetApplyCancelled), keys);
            return kExitFailed;
        }
        QuietProgress progress(*keyboards, ctx.host.json());
        const remote::FleetApply applied =
            remote::applyFleet(*keyboards, planned, store::fullPath(platform::fromUtf8(desired_)),
                               jobs_, canary_, workerSdk, progress.observer());
        progress.finish(applied.statuses);
        return report(ctx, *keyboards, applied, keys);
    }

  private:
    int report(Context& ctx, const std::vector<FleetKeyboard>& keyboards,
               const remote::FleetApply& applied, nlohmann::ordered_json& keys) {
        using A = remote::ApplyState;
        std::size_t counts[6] = {};
        keys["keyboards"] = nlohmann::ordered_json::array();
        const std::size_t width = nameWidth(keyboards);
        if (!ctx.host.json()) std::cout << '\n';
        for (std::size_t i = 0; i < keyboards.size(); ++i) {
            const remote::KeyboardApply& a = applied.keyboards[i];
            ++counts[static_cast<int>(a.state)];
            auto o = keyboardKeys(keyboards[i], remote::applyStateName(a.state));
            if (!a.reason.empty()) o["reason"] = a.reason;
            o["rollbackImage"] = a.rollbackImage.empty()
                                     ? nlohmann::ordered_json()
                                     : nlohmann::ordered_json(platform::utf8(a.rollbackImage));
            keys["keyboards"].push_back(std::move(o));
            // The one end that needs someone at the keyboard: said loudest, on stderr too.
            if (a.state == A::RollbackFailed) {
                const std::string line =
                    say(T::FleetRollbackFailed,
                        {keyboards[i].name, a.reason, platform::utf8(a.rollbackImage)});
                fail(line);
            }
            if (ctx.host.json()) continue;
            std::string state = remote::applyStateName(a.state);
            if (!a.reason.empty()) state += ": " + a.reason;
            printKeyboard(keyboards[i].name, width, state, {});
        }
        const char* names[] = {"unchanged",      "applied",    "rolledBack",
                               "rollbackFailed", "notStarted", "failed"};
        for (int n = 0; n < 6; ++n) keys[names[n]] = counts[n];
        auto count = [&](A state) { return std::to_string(counts[static_cast<int>(state)]); };
        ctx.host.summary(say(T::FleetApplySummary,
                             {count(A::Applied), count(A::Unchanged), count(A::RolledBack),
                              count(A::RollbackFailed), count(A::NotStarted), count(A::Failed)}),
                         keys);
        return applied.ok() ? kExitOk : kExitFailed;
    }

    int canary_ = 0;
    bool yes_ = false;
};

}  // namespace

FleetCommand::FleetCommand()
    : CommandGroup(
          "fleet",
          "Export, import, upgrade, back up, plan or apply every keyboard of an inventory, several "
          "at a time",
          false) {
    add(std::make_unique<FleetExport>());
    add(std::make_unique<FleetImport>());
    add(std::make_unique<FleetUpgrade>());
    add(std::make_unique<FleetBackup>());
    add(std::make_unique<FleetPlan>());
    add(std::make_unique<FleetApply>());
}

}  // namespace kbcfg::cli
