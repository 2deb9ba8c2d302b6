#include "remote/fleet_work.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/access.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "store/printable.h"
#include "store/worker_threads.h"

namespace kbcfg::remote {

namespace {
// The statuses of all keyboards, changed one at a time so that the observer sees each change.
class Board {
  public:
    Board(std::size_t size, const FleetObserver& observer) : statuses_(size), observer_(observer) {}

    template <class Change>
    void update(std::size_t i, Change change) {
        std::lock_guard g(lock_);
        change(statuses_[i]);
        if (observer_) observer_(i, statuses_[i]);
    }
    std::vector<FleetStatus> take() { return std::move(statuses_); }

  private:
    std::mutex lock_;
    std::vector<FleetStatus> statuses_;
    const FleetObserver& observer_;
};

// A message on the keyboard's one line: its second line (why a login was refused, which file)
// in brackets.
std::string oneLine(const std::string& text) {
    const std::size_t end = text.find('\n');
    if (end == std::string::npos) return text;
    std::string rest = text.substr(end + 1);
    std::replace(rest.begin(), rest.end(), '\n', ' ');
    return text.substr(0, end) + " (" + rest + ")";
}

void runOne(Board& board, std::size_t i, NetSdk& sdk, const FleetKeyboard& keyboard,
            const FleetWork& work) {
    const auto start = std::chrono::steady_clock::now();
    board.update(i, [](FleetStatus& s) { s.state = FleetState::Running; });
    FleetStep* current = nullptr;
    FleetHost host([&](int number, const std::string& text) {
        if (current) current->lastMessage = oneLine(text);
        board.update(i, [&](FleetStatus& s) {
            s.messages.emplace_back(number, text);
            s.message = oneLine(text);
        });
    });
    FleetStep step{i,
                   keyboard,
                   host,
                   sdk,
                   [&](int percent, const std::string& text) {
                       board.update(i, [&](FleetStatus& s) {
                           s.progress = percent;
                           if (!text.empty()) s.message = text;
                       });
                   },
                   {},
                   {},
                   {},
                   {}};
    current = &step;
    bool ok = false;
    try {
        ok = work(step);
    } catch (const std::exception& e) {
        ok = false;
        step.problem = std::string("unexpected failure: ") + e.what();
    }
    const auto took = std::chrono::steady_clock::now() - start;
    board.update(i, [&](FleetStatus& s) {
        s.state = ok ? FleetState::Done : FleetState::Failed;
        if (ok) s.progress = 100;
        if (!step.finalText.empty()) s.message = step.finalText;
        if (!step.problem.empty())
            s.message = s.message.empty() ? step.problem : s.message + " (" + step.problem + ")";
        s.output = step.output;
        s.milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(took).count();
    });
}

}  // namespace

int FleetHost::startTimer(int intervalMs, std::function<void()> tick) {
    const auto interval = std::chrono::milliseconds(std::max(intervalMs, 1));
    timers_[++lastTimer_] = {interval, std::chrono::steady_clock::now() + interval,
                             std::move(tick)};
    return lastTimer_;
}

void FleetHost::runPosted() {
    while (!posted_.empty()) {
        auto task = std::move(posted_.front());
        posted_.pop_front();
        task();
    }
}

bool FleetHost::runNextTimer() {
    runPosted();
    if (timers_.empty()) return false;
    auto next = timers_.begin();
    for (auto it = timers_.begin(); it != timers_.end(); ++it)
        if (it->second.due < next->second.due) next = it;
    std::this_thread::sleep_until(next->second.due);
    next->second.due += next->second.interval;
    auto tick = next->second.tick;  // the tick may kill its own timer
    tick();
    runPosted();
    return true;
}

std::vector<FleetStatus> runOnFleet(const std::vector<FleetKeyboard>& keyboards,
                                    const std::vector<std::size_t>& which, int jobs,
                                    const NetSdkFactory& sdkFactory, const FleetWork& work,
                                    const FleetObserver& observer) {
    std::vector<std::size_t> order = which;
    if (order.empty())
        for (std::size_t i = 0; i < keyboards.size(); ++i) order.push_back(i);
    Board board(keyboards.size(), observer);
    std::atomic<std::size_t> next{0};
    auto worker = [&] {
        const std::unique_ptr<NetSdk> sdk = handleFrom(sdkFactory);
        for (std::size_t n = next++; n < order.size(); n = next++) {
            const std::size_t i = order[n];
            if (sdk) {
                runOne(board, i, *sdk, keyboards[i], work);
                continue;
            }
            // A worker without a handle of its own reaches no keyboard; the others go on.
            board.update(i, [](FleetStatus& s) {
                s.state = FleetState::Failed;
                s.message = "the device library could not be loaded";
            });
        }
    };
    const std::size_t workers = std::min<std::size_t>(
        order.size(), static_cast<std::size_t>(std::clamp(jobs, 1, kMaxFleetJobs)));
    store::WorkerThreads threads;
    if (workers > 1) threads.start(workers - 1, worker);
    if (workers > 0) worker();  // this thread is one of the workers
    threads.join();
    return board.take();
}

void fillKeyboard(KeyboardFields& fields, const FleetKeyboard& keyboard) {
    fields.address = keyboard.address;
    fields.port = keyboard.port;
    fields.password = keyboard.password;
}

std::string shownPath(const std::filesystem::path& path) {
    return store::printablePath(platform::utf8(path));
}

bool makeFolders(const std::filesystem::path& folder, std::string& problem) {
    problem.clear();
    std::vector<std::filesystem::path> missing;
    std::error_code ec;
    for (std::filesystem::path p = folder;
         !p.empty() && !platform::fileInfo(p, platform::Links::Follow, ec); p = p.parent_path()) {
        if (ec != std::errc::no_such_file_or_directory) break;
        missing.push_back(p);
        if (p == p.parent_path()) break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (!platform::makeFolder(*it, platform::FolderAccess::Private, ec) &&
            ec != std::errc::file_exists) {
            problem = "cannot create " + shownPath(*it) + ": " + ec.message();
            return false;
        }
    }
    const auto info = platform::fileInfo(folder, platform::Links::Follow, ec);
    if (!info)
        problem = "cannot use " + shownPath(folder) + ": " + ec.message();
    else if (info->kind != platform::FileKind::Folder)
        problem = shownPath(folder) + " is not a folder";
    return problem.empty();
}

bool keyboardFolder(const std::filesystem::path& folder, std::string& problem) {
    std::error_code ec;
    if (platform::makeFolder(folder, platform::FolderAccess::Private, ec)) return true;
    if (ec != std::errc::file_exists) {
        problem = "cannot create " + shownPath(folder) + ": " + ec.message();
        return false;
    }
    const auto info = platform::fileInfo(folder, platform::Links::NoFollow, ec);
    if (!info)
        problem = "cannot use " + shownPath(folder) + ": " + ec.message();
    else if (info->kind == platform::FileKind::Link)
        problem = shownPath(folder) + " is a link; not used";
    else if (info->kind != platform::FileKind::Folder)
        problem = shownPath(folder) + " is not a folder; not used";
    else if (info->owner != platform::currentUser())
        problem = shownPath(folder) + " belongs to user " +
                  store::printableUserName(platform::userName(info->owner)) + "; not used";
    else if (platform::othersMayWrite(*info))
        problem = shownPath(folder) + " can be written by others; not used";
    else
        return true;
    return false;
}

bool ClaimedFile::claim(const std::filesystem::path& folder, const std::string& stamp,
                        std::string& problem) {
    for (int serial = 1; serial <= kMaxExportSerial; ++serial) {
        const std::filesystem::path path =
            folder / platform::fromUtf8(fleetExportName(stamp, serial));
        std::error_code ec;
        platform::File file = platform::openForWriting(path, platform::Create::New, ec);
        if (!file.valid() && ec == std::errc::file_exists) continue;
        if (!file.valid()) {
            problem = "cannot create " + shownPath(path) + ": " + ec.message();
            return false;
        }
        const auto info = platform::fileInfo(file, ec);
        file.close();
        path_ = path;
        device_ = info ? info->device : 0;
        inode_ = info ? info->inode : 0;
        return true;
    }
    problem = shownPath(folder) + " holds " + std::to_string(kMaxExportSerial) +
              " files of this second already";
    return false;
}

ClaimedFile::~ClaimedFile() {
    if (path_.empty()) return;
    std::error_code ec;
    const auto info = platform::fileInfo(path_, platform::Links::NoFollow, ec);
    if (info && info->device == device_ && info->inode == inode_) platform::removeFile(path_, ec);
}

}  // namespace kbcfg::remote
