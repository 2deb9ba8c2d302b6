#include "remote/fleet_config.h"

#include <algorithm>
#include <map>
#include <system_error>

#include "platform/files.h"
#include "platform/paths.h"
#include "remote/fleet_work.h"
#include "remote/modconfig.h"
#include "store/config_diff.h"
#include "store/files.h"
#include "store/printable.h"
#include "store/safe_file.h"
#include "store/session.h"
#include "store/text_form.h"

namespace kbcfg::remote {

namespace tf = store::textform;

namespace {

// A private folder (0700, a name nobody else can have taken) for the files a run fetches and
// sends, removed with everything in it at the end of the run.
class WorkFolder {
  public:
    WorkFolder() {
        std::error_code ec;
        std::filesystem::path base = std::filesystem::temp_directory_path(ec);
        if (ec) base = "/tmp";
        if (auto made = platform::createUniqueFolder(base / "kbcfg-fleet-", ec)) path_ = *made;
    }
    ~WorkFolder() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// A claimed file in the keyboard's own folder below `folder`.
bool claimIn(FleetStep& step, const std::filesystem::path& folder, const std::string& stamp,
             ClaimedFile& file) {
    const std::filesystem::path own = folder / platform::fromUtf8(step.keyboard.name);
    if (folder.empty()) {
        step.problem = "no private folder for the run's files";
        return false;
    }
    return keyboardFolder(own, step.problem) && file.claim(own, stamp, step.problem);
}

// The keyboard's configuration, fetched with the export a person would use and loaded as a file
// is (older layouts converted).
bool fetch(FleetStep& step, const WorkFolder& work, store::ConfigImage& image) {
    ClaimedFile file;
    if (!claimIn(step, work.path(), "fetched", file)) return false;
    store::SessionState session;  // the dialog's own: no worker touches the process's session
    modconfig dialog(step.host, session, step.sdk);
    dialog.chosenPath = file.path();
    fillKeyboard(dialog.keyboard, step.keyboard);
    if (dialog.exportFile() != store::Outcome::Done) return false;
    store::SessionState loaded;
    store::setConfigPaths(loaded, file.path());
    return store::loadImage(step.host, loaded, image) == 0;
}

// Writes the image as a configuration file (scrambled, private) into a claimed file.
bool writeImage(FleetStep& step, ClaimedFile& file, const store::ConfigImage& image) {
    store::SessionState session;
    store::setConfigPaths(session, file.path());
    return store::saveImage(step.host, session, image) == 0;
}

// Sends the image to the keyboard with the import a person would use.
bool send(FleetStep& step, const WorkFolder& work, const store::ConfigImage& image) {
    ClaimedFile file;
    if (!claimIn(step, work.path(), "sent", file) || !writeImage(step, file, image)) return false;
    KeyboardFields fields;
    fillKeyboard(fields, step.keyboard);
    return importConfigFile(step.host, step.sdk, fields, file.path(), true) == store::Outcome::Done;
}

std::string fetchProblem(const FleetStep& step) {
    return !step.lastMessage.empty() ? step.lastMessage : step.problem;
}

// The text form in a repository, or nullopt with `problem` (a missing file: not managed).
std::optional<std::string> readTextForm(const std::filesystem::path& file, std::string& problem) {
    std::string why;
    const auto bytes = store::readFileBytes(file, tf::kMaxTextFormBytes + 1, &why);
    if (!bytes)
        problem = store::printablePath(platform::utf8(file)) + ": cannot read it: " + why;
    else if (bytes->size() > tf::kMaxTextFormBytes)
        problem = store::printablePath(platform::utf8(file)) + ": too large for a text form";
    else
        return std::string(bytes->begin(), bytes->end());
    return std::nullopt;
}

// "device 12 ...: port 8000 -> 8001" and the rest, or one line when the texts differ but their
// images do not (a text form rewritten by hand).
std::vector<std::string> changesBetween(const std::string& before, const std::string& after) {
    store::ConfigImage a, b, scratch;
    const tf::BuildResult builtA = tf::buildText(before, a, scratch);
    const tf::BuildResult builtB = tf::buildText(after, b, scratch);
    if (!builtA.ok || !builtB.ok) return {"text form replaced (the former one could not be read)"};
    std::vector<std::string> lines = tf::formatDiff(tf::diffImages(a, b));
    if (lines.empty()) lines.push_back("text form rewritten, same configuration");
    return lines;
}

}  // namespace

std::string keyboardTextPath(const FleetKeyboard& keyboard) {
    return keyboard.name + "/" + kKeyboardTextFile;
}

const char* backupStateName(BackupState state) {
    switch (state) {
        case BackupState::Unchanged:
            return "unchanged";
        case BackupState::Changed:
            return "changed";
        case BackupState::Added:
            return "added";
        case BackupState::NotReached:
            return "not reached";
    }
    return "?";
}

const char* planStateName(PlanState state) {
    switch (state) {
        case PlanState::NotManaged:
            return "not managed";
        case PlanState::NoChanges:
            return "no changes";
        case PlanState::Changes:
            return "changes";
        case PlanState::Failed:
            return "failed";
    }
    return "?";
}

const char* applyStateName(ApplyState state) {
    switch (state) {
        case ApplyState::Unchanged:
            return "unchanged";
        case ApplyState::Applied:
            return "applied";
        case ApplyState::RolledBack:
            return "rolled back";
        case ApplyState::RollbackFailed:
            return "rollback failed";
        case ApplyState::NotStarted:
            return "not started";
        case ApplyState::Failed:
            return "failed";
    }
    return "?";
}

BackupRun backupFleet(const std::vector<FleetKeyboard>& keyboards, ConfigRepository& repository,
                      int jobs, const NetSdkFactory& sdkFactory, const FleetObserver& observer) {
    BackupRun run;
    std::vector<std::string> paths;
    for (const FleetKeyboard& k : keyboards) paths.push_back(keyboardTextPath(k));
    const std::vector<std::string> pending = repository.uncommitted(paths);
    if (!pending.empty()) {
        std::string list;
        for (const std::string& p : pending) list += (list.empty() ? "" : ", ") + p;
        run.error = list + (pending.size() == 1 ? " has" : " have") +
                    " changes not committed; commit or discard them first (a backup never "
                    "overwrites them)";
        return run;
    }
    WorkFolder work;
    std::vector<std::optional<std::string>> texts(keyboards.size());
    run.statuses = runOnFleet(
        keyboards, {}, jobs, sdkFactory,
        [&](FleetStep& step) {
            store::ConfigImage image;
            if (!fetch(step, work, image)) return false;
            texts[step.index] = tf::exportText(image, false);
            return true;
        },
        observer);

    std::map<std::string, std::string> files;
    std::vector<std::string> lines;
    std::size_t changed = 0, missed = 0;
    run.entries.resize(keyboards.size());
    for (std::size_t i = 0; i < keyboards.size(); ++i) {
        BackupEntry& entry = run.entries[i];
        const std::string& name = keyboards[i].name;
        if (!texts[i]) {
            ++missed;
            lines.push_back(name + ": not reached");
            continue;
        }
        const std::optional<std::string> before = repository.committed(paths[i]);
        if (before == texts[i]) {
            entry.state = BackupState::Unchanged;
            continue;
        }
        ++changed;
        entry.state = before ? BackupState::Changed : BackupState::Added;
        entry.changes =
            before ? changesBetween(*before, *texts[i]) : std::vector<std::string>{"first backup"};
        for (const std::string& c : entry.changes) lines.push_back(name + ": " + c);
        files[paths[i]] = std::move(*texts[i]);
    }
    run.message = "Backup of " + std::to_string(keyboards.size()) + " keyboard" +
                  (keyboards.size() == 1 ? "" : "s") + ": " + std::to_string(changed) +
                  " changed, " + std::to_string(missed) + " not reached\n\n";
    for (const std::string& line : lines) run.message += line + "\n";
    if (files.empty()) return run;
    std::string error;
    const std::optional<std::string> commit = repository.commit(files, run.message, error);
    if (!commit) {
        run.error = error;
        return run;
    }
    run.commit = *commit;
    return run;
}

bool FleetPlan::changes() const {
    return std::any_of(keyboards.begin(), keyboards.end(),
                       [](const KeyboardPlan& p) { return p.state == PlanState::Changes; });
}

bool FleetPlan::failures() const {
    return std::any_of(keyboards.begin(), keyboards.end(),
                       [](const KeyboardPlan& p) { return p.state == PlanState::Failed; });
}

FleetPlan planFleet(const std::vector<FleetKeyboard>& keyboards,
                    const std::filesystem::path& desired, int jobs, const NetSdkFactory& sdkFactory,
                    const FleetObserver& observer) {
    FleetPlan plan;
    plan.keyboards.resize(keyboards.size());
    std::vector<std::size_t> managed;
    for (std::size_t i = 0; i < keyboards.size(); ++i) {
        std::error_code ec;
        if (std::filesystem::exists(desired / platform::fromUtf8(keyboardTextPath(keyboards[i])),
                                    ec))
            managed.push_back(i);
    }
    WorkFolder work;
    plan.statuses = runOnFleet(
        keyboards, managed, jobs, sdkFactory,
        [&](FleetStep& step) {
            KeyboardPlan& p = plan.keyboards[step.index];
            p.state = PlanState::Failed;
            // The text form first: a refused one needs no call to the keyboard.
            const std::filesystem::path file =
                desired / platform::fromUtf8(keyboardTextPath(step.keyboard));
            const std::optional<std::string> text = readTextForm(file, p.problem);
            if (!text) {
                step.problem = p.problem;
                return false;
            }
            auto want = std::make_shared<store::ConfigImage>();
            const tf::BuildResult built = tf::buildText(*text, *want);
            if (!built.ok) {
                p.problem = store::printablePath(platform::utf8(file)) + ": " + built.path + ": " +
                            built.message;
                step.problem = p.problem;
                return false;
            }
            auto live = std::make_shared<store::ConfigImage>();
            if (!fetch(step, work, *live)) {
                p.problem = "cannot read its configuration: " + fetchProblem(step);
                return false;
            }
            if (!built.withPasswords) tf::carryPasswords(*live, *want);
            p.changes = tf::formatDiff(tf::diffImages(*live, *want));
            p.state = p.changes.empty() ? PlanState::NoChanges : PlanState::Changes;
            p.live = std::move(live);
            p.desired = std::move(want);
            step.finalText = p.changes.empty() ? "no changes"
                                               : std::to_string(p.changes.size()) + " change" +
                                                     (p.changes.size() == 1 ? "" : "s");
            return true;
        },
        observer);
    return plan;
}

namespace {

// Keeps the live configuration as DIR/.rollback/NAME/STAMP.bin (private, in folders of this
// user alone that git ignores), and only the newest kRollbackImagesKept of them.
bool keepRollback(FleetStep& step, const std::filesystem::path& desired, const std::string& stamp,
                  const store::ConfigImage& live, std::filesystem::path& kept) {
    const std::filesystem::path root = desired / kRollbackFolder;
    if (!keyboardFolder(root, step.problem)) return false;
    const std::string ignore = "*\n";
    std::error_code ec;
    if (!std::filesystem::exists(root / ".gitignore", ec))
        store::writeFileAtomically(root / ".gitignore",
                                   reinterpret_cast<const std::uint8_t*>(ignore.data()),
                                   ignore.size());
    ClaimedFile file;
    if (!claimIn(step, root, stamp, file) || !writeImage(step, file, live)) return false;
    kept = file.path();
    file.keep();
    // The oldest go: names sort by their stamp, then by their serial within one second.
    std::vector<std::pair<std::string, int>> images;
    for (const auto& e : std::filesystem::directory_iterator(kept.parent_path(), ec)) {
        const std::string name = platform::utf8(e.path().filename());
        if (!e.is_regular_file(ec) || e.path().extension() != ".bin") continue;
        const std::string stem = platform::utf8(e.path().stem());
        const std::size_t dash = stem.find('-', 9);
        const int serial = dash == std::string::npos ? 1 : std::atoi(stem.c_str() + dash + 1);
        images.emplace_back(stem.substr(0, dash), serial);
    }
    std::sort(images.begin(), images.end());
    for (std::size_t n = 0; n + kRollbackImagesKept < images.size(); ++n)
        std::filesystem::remove(kept.parent_path() / platform::fromUtf8(fleetExportName(
                                                         images[n].first, images[n].second)),
                                ec);
    return true;
}

// The image sent is the image kept: "" when so, else why not.
std::string verify(FleetStep& step, const WorkFolder& work, const store::ConfigImage& sent) {
    store::ConfigImage back;
    if (!fetch(step, work, back))
        return "its configuration could not be fetched back: " + fetchProblem(step);
    const std::vector<std::string> lines = tf::formatDiff(tf::diffImages(sent, back));
    if (lines.empty()) return "";
    std::string why = "it holds another configuration than the one sent: " + lines.front();
    if (lines.size() > 1) why += " (and " + std::to_string(lines.size() - 1) + " more)";
    return why;
}

void applyOne(FleetStep& step, const KeyboardPlan& plan, const std::filesystem::path& desired,
              const std::string& stamp, const WorkFolder& work, KeyboardApply& out) {
    out.state = ApplyState::Failed;
    if (!keepRollback(step, desired, stamp, *plan.live, out.rollbackImage)) {
        out.reason = "its configuration could not be kept for a rollback (" + step.problem +
                     "); nothing was sent";
        return;
    }
    step.progress(25, "sending the desired configuration");
    std::string why;
    if (send(step, work, *plan.desired)) {
        step.progress(50, "verifying");
        why = verify(step, work, *plan.desired);
    } else {
        why = "the import failed: " + fetchProblem(step);
    }
    if (why.empty()) {
        out.state = ApplyState::Applied;
        return;
    }
    out.reason = why;
    step.progress(75, "rolling back");
    std::string rollback;
    if (!send(step, work, *plan.live))
        rollback = "the rollback's import failed: " + fetchProblem(step);
    else
        rollback = verify(step, work, *plan.live);
    if (rollback.empty()) {
        out.state = ApplyState::RolledBack;
        return;
    }
    out.state = ApplyState::RollbackFailed;
    out.reason = why + "; " + rollback;
}

}  // namespace

bool FleetApply::ok() const {
    return std::all_of(keyboards.begin(), keyboards.end(), [](const KeyboardApply& k) {
        return k.state == ApplyState::Applied || k.state == ApplyState::Unchanged;
    });
}

FleetApply applyFleet(const std::vector<FleetKeyboard>& keyboards, const FleetPlan& plan,
                      const std::filesystem::path& desired, int jobs, int canary,
                      const NetSdkFactory& sdkFactory, const FleetObserver& observer) {
    FleetApply result;
    result.keyboards.resize(keyboards.size());
    result.statuses.resize(keyboards.size());
    std::vector<std::size_t> changed;
    for (std::size_t i = 0; i < keyboards.size(); ++i) {
        const KeyboardPlan& p = plan.keyboards[i];
        KeyboardApply& a = result.keyboards[i];
        if (p.state == PlanState::Changes)
            changed.push_back(i);
        else if (p.state == PlanState::Failed)
            a = {ApplyState::Failed, p.problem, {}};
        else if (p.state == PlanState::NotManaged)
            a.reason = "not managed";
    }
    WorkFolder work;
    const std::string stamp = store::localTimeStamp();
    auto runSome = [&](const std::vector<std::size_t>& which, int workers) {
        const std::vector<FleetStatus> statuses = runOnFleet(
            keyboards, which, workers, sdkFactory,
            [&](FleetStep& step) {
                KeyboardApply& a = result.keyboards[step.index];
                applyOne(step, plan.keyboards[step.index], desired, stamp, work, a);
                step.finalText = applyStateName(a.state);
                if (!a.reason.empty()) step.finalText += ": " + a.reason;
                return a.state == ApplyState::Applied;
            },
            observer);
        for (std::size_t i : which) result.statuses[i] = statuses[i];
    };
    const std::size_t canaries = std::min<std::size_t>(std::max(canary, 0), changed.size());
    for (std::size_t n = 0; n < canaries; ++n) {
        const std::size_t i = changed[n];
        runSome({i}, 1);
        if (result.keyboards[i].state == ApplyState::Applied) continue;
        for (std::size_t m = n + 1; m < changed.size(); ++m)
            result.keyboards[changed[m]] = {
                ApplyState::NotStarted,
                "the canary " + keyboards[i].name + " did not end applied",
                {}};
        return result;
    }
    const std::vector<std::size_t> rest(changed.begin() + static_cast<std::ptrdiff_t>(canaries),
                                        changed.end());
    if (!rest.empty()) runSome(rest, jobs);
    return result;
}

}  // namespace kbcfg::remote
