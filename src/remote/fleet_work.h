#pragma once
// The workings every fleet run shares: the host a worker's dialogs talk to, the bounded pool
// that runs one piece of work per keyboard with a library handle per worker, and the folders and
// files a run may write where other users could reach them.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "remote/fleet.h"
#include "remote/keyboard_fields.h"
#include "store/host.h"

namespace kbcfg::remote {

// The host of one worker: the dialogs' messages go to its keyboard's status, nothing is asked,
// and the upgrade's poll timer runs on the worker's own thread.
class FleetHost : public store::SilentHost {
  public:
    explicit FleetHost(std::function<void(int, const std::string&)> shown)
        : shown_(std::move(shown)) {}

    void showMessage(int number, const std::string& text) override { shown_(number, text); }
    void post(std::function<void()> task) override { posted_.push_back(std::move(task)); }
    int startTimer(int intervalMs, std::function<void()> tick) override;
    void killTimer(int id) override { timers_.erase(id); }

    void runPosted();
    // Sleeps until the timer due next and runs it; false when no timer is left.
    bool runNextTimer();

  private:
    struct Timer {
        std::chrono::milliseconds interval;
        std::chrono::steady_clock::time_point due;
        std::function<void()> tick;
    };
    std::function<void(int, const std::string&)> shown_;
    std::deque<std::function<void()>> posted_;
    std::map<int, Timer> timers_;
    int lastTimer_ = 0;
};

// One keyboard's piece of a run, as the work sees it.
struct FleetStep {
    std::size_t index;
    const FleetKeyboard& keyboard;
    FleetHost& host;
    NetSdk& sdk;
    // Tells the keyboard's progress (percent) and, when not empty, its status line.
    std::function<void(int, const std::string&)> progress;
    std::string problem;           // why it failed, added to the last message shown
    std::string finalText;         // replaces the status line at the end
    std::filesystem::path output;  // a file written
    std::string lastMessage;       // the last message its dialogs showed, on one line
};
// The work on one keyboard: true when it succeeded.
using FleetWork = std::function<bool(FleetStep&)>;

// Runs `work` on the keyboards `which` names (every keyboard when empty) with min(jobs, count)
// workers, each with a library handle of its own, taking them in the order given; one keyboard's
// failure stops no other. A worker whose handle cannot be made fails its keyboards. Returns
// every keyboard's final status; keyboards not named stay waiting.
std::vector<FleetStatus> runOnFleet(const std::vector<FleetKeyboard>& keyboards,
                                    const std::vector<std::size_t>& which, int jobs,
                                    const NetSdkFactory& sdkFactory, const FleetWork& work,
                                    const FleetObserver& observer = {});

void fillKeyboard(KeyboardFields& fields, const FleetKeyboard& keyboard);
std::string shownPath(const std::filesystem::path& path);

// Makes the folder and the missing ones above it, each 0700 (they will hold configurations);
// folders that exist keep their mode. Several workers may make the same folder at once.
bool makeFolders(const std::filesystem::path& folder, std::string& problem);

// A keyboard's own folder in a folder others may be able to write in: made 0700, or, when it
// exists, used only when it is a real folder of this user that no one else can write, so that
// no one can plant a link that sends a configuration elsewhere or swap a file once written.
bool keyboardFolder(const std::filesystem::path& folder, std::string& problem);

// A new file claimed by creating it exclusively (0600, links not followed) under the name
// STAMP.bin, else STAMP-2.bin ... STAMP-99.bin: two runs in the same second, in this process or
// another, never pick the same name. The empty file is what an atomic writer replaces; it is
// removed again unless kept.
class ClaimedFile {
  public:
    ClaimedFile() = default;
    ClaimedFile(const ClaimedFile&) = delete;
    ClaimedFile& operator=(const ClaimedFile&) = delete;
    ~ClaimedFile();
    bool claim(const std::filesystem::path& folder, const std::string& stamp, std::string& problem);
    const std::filesystem::path& path() const { return path_; }
    void keep() { path_.clear(); }

  private:
    std::filesystem::path path_;
    std::uint64_t device_ = 0;
    std::uint64_t inode_ = 0;
};

}  // namespace kbcfg::remote
