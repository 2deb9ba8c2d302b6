#include "remote/fleet.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "remote/keyboard_fields.h"
#include "remote/modconfig.h"
#include "remote/modupdata.h"
#include "store/ansi.h"
#include "store/csv.h"
#include "store/file_owner.h"
#include "store/files.h"
#include "store/host.h"
#include "store/json_errors.h"
#include "store/printable.h"
#include "store/safe_file.h"
#include "store/session.h"
#include "store/validators.h"
#include "store/worker_threads.h"

namespace kbcfg::remote {

namespace {

// A password file holds a few lines; anything larger is not one.
constexpr std::size_t kMaxPasswordFileBytes = 64u << 10;
// "YYYYMMDD-HHMMSS", the stamp every export name starts with.
constexpr std::size_t kStampChars = 15;

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

bool validName(std::string_view name) {
    if (name.empty() || name.size() > kMaxKeyboardNameChars) return false;
    if (!std::isalnum(static_cast<unsigned char>(name.front()))) return false;
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-')
            return false;
    return true;
}

// Collects the keyboards and refuses what would make two of them collide.
class InventoryBuilder {
  public:
    // `where` names the entry in an error ("line 3").
    bool add(std::string_view name, std::string_view ip, std::string port, int line,
             const std::string& where, std::string& error) {
        if (!validName(name)) {
            error = where + ": \"" + store::printable(name) +
                    "\" is not a keyboard name (1 to 64 letters, digits, '.', '_' or '-', "
                    "starting with a letter or digit)";
            return false;
        }
        const auto address = store::Ipv4Fields::parse(ip);
        if (!address || !address->complete() || !address->hostFirstOctet()) {
            error = where + ": \"" + store::printable(ip) + "\" is not a keyboard address";
            return false;
        }
        if (port.empty()) port = "8000";
        if (!names_.insert(std::string(name)).second) {
            error = where + ": the name " + std::string(name) + " is listed twice";
            return false;
        }
        if (!endpoints_.insert({address->packed(), store::readNumber(port)}).second) {
            error = where + ": " + address->toString() + " port " + store::printable(port) +
                    " is listed twice";
            return false;
        }
        keyboards_.push_back({std::string(name), *address, std::move(port), {}, line});
        return true;
    }
    std::vector<FleetKeyboard> take() { return std::move(keyboards_); }

  private:
    std::vector<FleetKeyboard> keyboards_;
    std::set<std::string> names_;
    std::set<std::pair<std::uint32_t, std::int32_t>> endpoints_;
};

std::optional<std::vector<FleetKeyboard>> parseCsvInventory(std::string_view text,
                                                            std::string& error) {
    InventoryBuilder builder;
    int number = 0;
    std::vector<std::string> fields;
    for (const std::string& line : store::csvLines(text)) {
        ++number;
        const std::string where = "line " + std::to_string(number);
        std::string why;
        if (!store::parseCsvLine(line, fields, why)) {
            error = where + ": " + why;
            return std::nullopt;
        }
        if (fields.empty()) continue;  // blank or a comment
        if (fields.size() < 2 || fields.size() > 3) {
            error = where + ": expected name,ip,port";
            return std::nullopt;
        }
        if (fields[0] == "name" && fields[1] == "ip") continue;  // the header
        if (!builder.add(fields[0], fields[1], fields.size() == 3 ? fields[2] : "", number, where,
                         error))
            return std::nullopt;
    }
    return builder.take();
}

std::optional<std::vector<FleetKeyboard>> parseJsonInventory(std::string_view text,
                                                             std::string& error) {
    using nlohmann::json;
    json doc;
    try {
        doc = json::parse(text);
    } catch (const json::parse_error& e) {
        // Line and column only: the text near the error may be a password.
        error = store::describeParseError(e, text);
        return std::nullopt;
    } catch (const json::exception&) {
        // The parser's only other one: a number beyond what a double holds.
        error = "$: a number out of range";
        return std::nullopt;
    }
    if (doc.is_object()) {
        if (doc.size() != 1 || !doc.contains("keyboards")) {
            error = "$: expected an array of keyboards, or an object with only \"keyboards\"";
            return std::nullopt;
        }
        doc = doc["keyboards"];
    }
    if (!doc.is_array()) {
        error = "$.keyboards: must be an array";
        return std::nullopt;
    }
    InventoryBuilder builder;
    int number = 0;
    for (const json& entry : doc) {
        const std::string where = "keyboard " + std::to_string(++number);
        if (!entry.is_object()) {
            error = where + ": must be an object with name, ip and port";
            return std::nullopt;
        }
        for (const auto& [key, value] : entry.items()) {
            if (key == "password") {
                error = where + ": passwords do not belong in an inventory; use a password file";
                return std::nullopt;
            }
            if (key != "name" && key != "ip" && key != "port") {
                error = where + ": unknown key \"" + store::printable(key) + "\"";
                return std::nullopt;
            }
        }
        const json name = entry.value("name", json()), ip = entry.value("ip", json()),
                   port = entry.value("port", json());
        if (!name.is_string() || !ip.is_string() ||
            !(port.is_null() || port.is_string() || port.is_number_integer())) {
            error = where + ": name and ip must be strings, port a number";
            return std::nullopt;
        }
        const std::string portText = port.is_null()     ? ""
                                     : port.is_string() ? port.get<std::string>()
                                                        : port.dump();
        if (!builder.add(name.get<std::string>(), ip.get<std::string>(), portText, number, where,
                         error))
            return std::nullopt;
    }
    return builder.take();
}

// The host of one worker: the dialogs' messages go to its keyboard's status, nothing is asked,
// and the upgrade's poll timer runs on the worker's own thread.
class WorkerHost : public store::SilentHost {
  public:
    explicit WorkerHost(std::function<void(int, const std::string&)> shown)
        : shown_(std::move(shown)) {}

    void showMessage(int number, const std::string& text) override { shown_(number, text); }
    void post(std::function<void()> task) override { posted_.push_back(std::move(task)); }
    int startTimer(int intervalMs, std::function<void()> tick) override {
        const auto interval = std::chrono::milliseconds(std::max(intervalMs, 1));
        timers_[++lastTimer_] = {interval, std::chrono::steady_clock::now() + interval,
                                 std::move(tick)};
        return lastTimer_;
    }
    void killTimer(int id) override { timers_.erase(id); }

    void runPosted() {
        while (!posted_.empty()) {
            auto task = std::move(posted_.front());
            posted_.pop_front();
            task();
        }
    }
    // Sleeps until the timer due next and runs it; false when no timer is left.
    bool runNextTimer() {
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

void fill(KeyboardFields& fields, const FleetKeyboard& keyboard) {
    fields.address = keyboard.address;
    fields.port = keyboard.port;
    fields.password = keyboard.password;
}

std::string shown(const std::filesystem::path& path) {
    return store::printable(path.string());
}

// Makes the folder and the missing ones above it, each 0700 (they will hold configurations);
// folders that exist keep their mode. Several workers may make the same folder at once.
bool makeFolders(const std::filesystem::path& folder, std::string& problem) {
    problem.clear();
    std::vector<std::filesystem::path> missing;
    struct stat st {};
    for (std::filesystem::path p = folder; !p.empty() && ::stat(p.c_str(), &st) != 0;
         p = p.parent_path()) {
        if (errno != ENOENT) break;
        missing.push_back(p);
        if (p == p.parent_path()) break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (::mkdir(it->c_str(), 0700) != 0 && errno != EEXIST) {
            problem = "cannot create " + shown(*it) + ": " + std::strerror(errno);
            return false;
        }
    }
    if (::stat(folder.c_str(), &st) != 0)
        problem = "cannot use " + shown(folder) + ": " + std::strerror(errno);
    else if (!S_ISDIR(st.st_mode))
        problem = shown(folder) + " is not a folder";
    return problem.empty();
}

// A keyboard's own folder in the output folder, which others may be able to write in: made 0700,
// or, when it exists, used only when it is a real folder of this user that no one else can
// write, so that no one can plant a link that sends a configuration elsewhere or swap the file
// once it is written.
bool keyboardFolder(const std::filesystem::path& folder, std::string& problem) {
    if (::mkdir(folder.c_str(), 0700) == 0) return true;
    if (errno != EEXIST) {
        problem = "cannot create " + shown(folder) + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0)
        problem = "cannot use " + shown(folder) + ": " + std::strerror(errno);
    else if (S_ISLNK(st.st_mode))
        problem = shown(folder) + " is a link; not used";
    else if (!S_ISDIR(st.st_mode))
        problem = shown(folder) + " is not a folder; not used";
    else if (st.st_uid != ::geteuid())
        problem = shown(folder) + " belongs to user " +
                  store::printable(store::userName(st.st_uid)) + "; not used";
    else if ((st.st_mode & 022) != 0)
        problem = shown(folder) + " can be written by others; not used";
    else
        return true;
    return false;
}

// The export's file, claimed by creating it exclusively (0600, links not followed): two runs in
// the same second, in this process or another, can never pick the same name. The empty file is
// what the atomic writer replaces; it is removed again unless the export replaced it.
class ExportFile {
  public:
    bool claim(const std::filesystem::path& folder, const std::string& stamp,
               std::string& problem) {
        for (int serial = 1; serial <= kMaxExportSerial; ++serial) {
            const std::filesystem::path path = folder / fleetExportName(stamp, serial);
            const int fd =
                ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (fd < 0 && errno == EEXIST) continue;
            if (fd < 0) {
                problem = "cannot create " + shown(path) + ": " + std::strerror(errno);
                return false;
            }
            struct stat st {};
            ::fstat(fd, &st);
            ::close(fd);
            path_ = path;
            device_ = st.st_dev;
            inode_ = st.st_ino;
            return true;
        }
        problem = shown(folder) + " holds " + std::to_string(kMaxExportSerial) +
                  " exports of this second already";
        return false;
    }
    const std::filesystem::path& path() const { return path_; }
    void keep() { path_.clear(); }
    ~ExportFile() {
        struct stat st {};
        if (!path_.empty() && ::lstat(path_.c_str(), &st) == 0 && st.st_dev == device_ &&
            st.st_ino == inode_)
            ::unlink(path_.c_str());
    }

  private:
    std::filesystem::path path_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

// One keyboard's work with the dialog a person would use; true when it succeeded.
bool exportOne(WorkerHost& host, NetSdk& sdk, const FleetKeyboard& keyboard, const FleetJob& job,
               std::filesystem::path& output, std::string& problem) {
    const std::filesystem::path folder = job.folder / keyboard.name;
    if (!makeFolders(job.folder, problem) || !keyboardFolder(folder, problem)) return false;
    ExportFile file;
    if (!file.claim(folder, job.stamp, problem)) return false;
    store::SessionState session;  // the dialog's own: no worker touches the process's session
    modconfig dialog(host, session, sdk);
    // The limits a chosen file meets, so that the login and the import can open the file.
    if (!checkPathLimits(host, file.path())) return false;
    dialog.chosenPath = file.path();
    fill(dialog.keyboard, keyboard);
    if (dialog.exportFile() != store::Outcome::Done) return false;
    file.keep();
    output = dialog.chosenPath;
    return true;
}

bool upgradeOne(WorkerHost& host, NetSdk& sdk, const FleetKeyboard& keyboard, const FleetJob& job,
                const std::function<void(int, const std::string&)>& progress,
                std::string& finalText) {
    modupdata dialog(host, sdk);
    dialog.onModeChanged(job.panel ? modupdata::kPanel : modupdata::kFirmware);
    if (!dialog.usePackage(job.file)) return false;
    fill(dialog.keyboard, keyboard);
    if (dialog.startUpgrade() != store::Outcome::Done) return false;
    // Polled every 500 ms on this worker's thread, as the dialog's timer does.
    while (dialog.running() && host.runNextTimer())
        progress(dialog.progress, job.panel ? dialog.statusText : std::string());
    // The panel's end texts are status lines, not messages.
    if (job.panel && dialog.finished.has_value()) finalText = dialog.statusText;
    return dialog.finished.value_or(false);
}

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
            const FleetJob& job) {
    const auto start = std::chrono::steady_clock::now();
    board.update(i, [](FleetStatus& s) { s.state = FleetState::Running; });
    WorkerHost host([&](int number, const std::string& text) {
        board.update(i, [&](FleetStatus& s) {
            s.messages.emplace_back(number, text);
            s.message = oneLine(text);
        });
    });
    bool ok = false;
    std::string problem, finalText;
    std::filesystem::path output;
    try {
        switch (job.task) {
            case FleetTask::Export:
                ok = exportOne(host, sdk, keyboard, job, output, problem);
                break;
            case FleetTask::Import: {
                KeyboardFields fields;
                fill(fields, keyboard);
                ok = importConfigFile(host, sdk, fields, job.file, true) == store::Outcome::Done;
                break;
            }
            case FleetTask::Upgrade:
                ok = upgradeOne(
                    host, sdk, keyboard, job,
                    [&](int percent, const std::string& text) {
                        board.update(i, [&](FleetStatus& s) {
                            s.progress = percent;
                            if (!text.empty()) s.message = text;
                        });
                    },
                    finalText);
                break;
        }
    } catch (const std::exception& e) {
        ok = false;
        problem = std::string("unexpected failure: ") + e.what();
    }
    const auto took = std::chrono::steady_clock::now() - start;
    board.update(i, [&](FleetStatus& s) {
        s.state = ok ? FleetState::Done : FleetState::Failed;
        if (ok) s.progress = 100;
        if (!finalText.empty()) s.message = finalText;
        if (!problem.empty())
            s.message = s.message.empty() ? problem : s.message + " (" + problem + ")";
        s.output = output;
        s.milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(took).count();
    });
}

}  // namespace

std::optional<std::vector<FleetKeyboard>> parseInventory(std::string_view text,
                                                         std::string& error) {
    std::string_view body = trim(text);
    if (body.starts_with("\xEF\xBB\xBF")) body = trim(body.substr(3));
    // The whole text, so that a syntax error's line and column count from its start (the parser
    // skips the byte-order mark and the white space itself).
    if (!body.empty() && (body.front() == '[' || body.front() == '{'))
        return parseJsonInventory(text, error);
    return parseCsvInventory(text, error);
}

std::optional<std::vector<FleetKeyboard>> readInventory(const std::filesystem::path& file,
                                                        std::string& error) {
    const auto bytes = store::readFileBytes(file, kMaxInventoryBytes);
    if (!bytes) {
        error = "cannot read it (not a regular file of at most 4 MiB?)";
        return std::nullopt;
    }
    return parseInventory(
        std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()), error);
}

std::optional<std::map<std::string, std::string>> readPasswordFile(
    const std::filesystem::path& file, std::string& error) {
    error.clear();
    const auto bytes = store::readPrivateFile(file, kMaxPasswordFileBytes, error);
    if (!bytes) return std::nullopt;
    const std::string text(bytes->begin(), bytes->end());
    return parsePasswords(text, error);
}

std::optional<std::map<std::string, std::string>> parsePasswords(std::string_view text,
                                                                 std::string& error) {
    error.clear();
    std::map<std::string, std::string> passwords;
    int number = 0;
    for (const std::string& line : store::csvLines(text)) {
        ++number;
        if (trim(line).empty() || trim(line).front() == '#') continue;
        const std::size_t colon = line.find(':');
        const std::string name(trim(line.substr(0, colon)));
        // Never quote the line: it holds a password.
        if (colon == std::string_view::npos || (name != "*" && !validName(name))) {
            error = "line " + std::to_string(number) + ": expected NAME:PASSWORD";
            return std::nullopt;
        }
        if (!passwords.emplace(name, std::string(line.substr(colon + 1))).second) {
            error = "line " + std::to_string(number) + ": " + name + " is given twice";
            return std::nullopt;
        }
    }
    return passwords;
}

bool assignPasswords(std::vector<FleetKeyboard>& keyboards,
                     const std::map<std::string, std::string>& file,
                     const std::optional<std::string>& fallback, std::string& error) {
    std::set<std::string> listed;
    for (const FleetKeyboard& k : keyboards) listed.insert(k.name);
    for (const auto& [name, password] : file) {
        if (name != "*" && !listed.count(name)) {
            error = "the password file names " + name + ", which the inventory does not list";
            return false;
        }
    }
    const auto any = file.find("*");
    for (FleetKeyboard& k : keyboards) {
        if (auto it = file.find(k.name); it != file.end())
            k.password = it->second;
        else if (any != file.end())
            k.password = any->second;
        else
            k.password = fallback.value_or("");
    }
    return true;
}

std::string fleetExportName(const std::string& stamp, int serial) {
    return stamp + (serial > 1 ? "-" + std::to_string(serial) : std::string()) + ".bin";
}

bool prepareExportFolder(const std::filesystem::path& folder,
                         const std::vector<FleetKeyboard>& keyboards, std::string& error) {
    std::size_t longestName = 0;
    for (const FleetKeyboard& k : keyboards)
        longestName = std::max(longestName, store::codePointCount(k.name));
    const std::string longestFile =
        fleetExportName(std::string(kStampChars, '0'), kMaxExportSerial);
    const std::size_t longest =
        store::codePointCount((folder / std::string(longestName, 'n') / longestFile).native());
    if (longest > store::kMaxPathChars) {
        error = shown(folder) + ": the files' paths would reach " + std::to_string(longest) +
                " characters, more than the " + std::to_string(store::kMaxPathChars) +
                " the login and the import accept; choose a shorter folder";
        return false;
    }
    return makeFolders(folder, error);
}

const char* stateName(FleetState state) {
    switch (state) {
        case FleetState::Waiting:
            return "waiting";
        case FleetState::Running:
            return "running";
        case FleetState::Done:
            return "done";
        case FleetState::Failed:
            return "failed";
    }
    return "?";
}

std::vector<FleetStatus> runFleet(const std::vector<FleetKeyboard>& keyboards,
                                  const FleetJob& given, const NetSdkFactory& sdkFactory,
                                  const FleetObserver& observer) {
    FleetJob job = given;
    if (job.stamp.empty()) job.stamp = store::localTimeStamp();
    Board board(keyboards.size(), observer);
    std::atomic<std::size_t> next{0};
    auto worker = [&] {
        const std::unique_ptr<NetSdk> sdk = handleFrom(sdkFactory);
        for (std::size_t i = next++; i < keyboards.size(); i = next++) {
            if (sdk) {
                runOne(board, i, *sdk, keyboards[i], job);
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
        keyboards.size(), static_cast<std::size_t>(std::clamp(job.jobs, 1, kMaxFleetJobs)));
    store::WorkerThreads threads;
    if (workers > 1) threads.start(workers - 1, worker);
    if (workers > 0) worker();  // this thread is one of the workers
    threads.join();
    return board.take();
}

}  // namespace kbcfg::remote
