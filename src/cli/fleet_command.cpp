#include "cli/fleet_command.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <nlohmann/json.hpp>

#include "cli/json_output.h"
#include "cli/terminal_host.h"
#include "remote/dynamic_netsdk.h"
#include "remote/fleet.h"
#include "remote/keyboard_fields.h"
#include "store/files.h"
#include "store/full_path.h"
#include "store/own_texts.h"

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
        winsize size{};
        const bool terminal = isatty(STDOUT_FILENO) != 0;
        if (terminal && ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
            columns_ = size.ws_col;
            // A table taller than the screen cannot be redrawn in place.
            live_ = size.ws_row == 0 || keyboards.size() + 2 <= size.ws_row;
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
        if (!s.output.empty()) text += " " + s.output.string();
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

// A fleet command: read the inventory and the passwords, run the job, show and sum it up.
class FleetJobCommand : public Command {
  public:
    using Command::Command;

    void setup(CLI::App& app) override {
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
        declare(app);
    }

    int run(Context& ctx) override {
        std::string error;
        auto keyboards = remote::readInventory(inventory_, error);
        if (!keyboards) return fail(inventory_ + ": " + error);
        std::map<std::string, std::string> passwords;
        if (passwordFile_) {
            auto read = remote::readPasswordFile(*passwordFile_, error);
            if (!read) return fail(*passwordFile_ + ": " + error);
            passwords = std::move(*read);
        }
        std::optional<std::string> fallback;
        if (const char* env = std::getenv("KBCFG_PASSWORD")) fallback = env;
        if (!remote::assignPasswords(*keyboards, passwords, fallback, error)) return fail(error);

        FleetJob job = this->job();
        job.jobs = jobs_;
        // Once, before any keyboard is contacted: the file checks of the one-keyboard commands
        // (the path limits, message 210 or 211), then the file itself.
        if (!job.file.empty()) {
            if (!remote::checkPathLimits(ctx.host, job.file)) return kExitFailed;
            std::error_code ec;
            if (!std::filesystem::is_regular_file(job.file, ec))
                return fail(job.file.string() + ": not a file that can be sent");
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
        auto keys = nlohmann::ordered_json::object();
        keys["inventory"] = inventory_;
        keys["jobs"] = jobs_;
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

  private:
    std::string inventory_;
    std::optional<std::string> passwordFile_;
    int jobs_ = remote::kDefaultFleetJobs;
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
        job.folder = store::fullPath(output_);
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
        job.file = store::fullPath(file_);
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
        job.file = store::fullPath(file_);
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

}  // namespace

FleetCommand::FleetCommand()
    : CommandGroup("fleet",
                   "Export, import or upgrade every keyboard of an inventory, several at a time",
                   false) {
    add(std::make_unique<FleetExport>());
    add(std::make_unique<FleetImport>());
    add(std::make_unique<FleetUpgrade>());
}

}  // namespace kbcfg::cli
