#pragma once
// A fleet's configurations as reviewed text: backup keeps every keyboard's text form (without
// passwords) in a repository, one commit per run; plan compares each keyboard with the text
// form a repository holds for it; apply sends the planned images, fetches each back to verify
// it, and sends the keyboard's former configuration back when the result is not the one sent.

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "remote/config_repository.h"
#include "remote/fleet.h"
#include "store/config_image.h"

namespace kbcfg::remote {

// DIR/NAME/config.json: a keyboard's text form in a repository.
inline constexpr const char* kKeyboardTextFile = "config.json";
// DIR/.rollback/NAME/: the configurations apply replaced, the newest kept.
inline constexpr const char* kRollbackFolder = ".rollback";
inline constexpr int kRollbackImagesKept = 10;

// The repository path of a keyboard's text form: "NAME/config.json".
std::string keyboardTextPath(const FleetKeyboard& keyboard);

// ---- backup

enum class BackupState { Unchanged, Changed, Added, NotReached };
const char* backupStateName(BackupState state);

struct BackupEntry {
    BackupState state = BackupState::NotReached;
    std::vector<std::string> changes;  // since the last commit, in the words of a diff
};

struct BackupRun {
    std::string error;                  // nothing was fetched or committed when set
    std::vector<FleetStatus> statuses;  // the fetch of each keyboard
    std::vector<BackupEntry> entries;
    std::string message;  // the commit's message
    std::string commit;   // its id; empty when nothing changed
};

// Fetches every keyboard's configuration, jobs at a time, and commits the text forms that
// changed in one commit. Refused before any keyboard is contacted when one of their text forms
// has changes nobody committed: a backup never overwrites someone's work. Keyboards not reached
// keep their files as they were.
BackupRun backupFleet(const std::vector<FleetKeyboard>& keyboards, ConfigRepository& repository,
                      int jobs, const NetSdkFactory& sdkFactory,
                      const FleetObserver& observer = {});

// ---- plan

enum class PlanState { NotManaged, NoChanges, Changes, Failed };
const char* planStateName(PlanState state);

struct KeyboardPlan {
    PlanState state = PlanState::NotManaged;
    std::vector<std::string> changes;  // from the live configuration to the desired one
    std::string problem;               // Failed: why
    std::shared_ptr<store::ConfigImage> live, desired;
};

struct FleetPlan {
    std::vector<KeyboardPlan> keyboards;
    std::vector<FleetStatus> statuses;
    bool changes() const;
    bool failures() const;
};

// For every keyboard with a DIR/NAME/config.json: fetches its live configuration and builds the
// desired one from the text form (passwords it does not carry come from the live configuration,
// by record position). Nothing is sent to any keyboard.
FleetPlan planFleet(const std::vector<FleetKeyboard>& keyboards,
                    const std::filesystem::path& desired, int jobs, const NetSdkFactory& sdkFactory,
                    const FleetObserver& observer = {});

// ---- apply

enum class ApplyState { Unchanged, Applied, RolledBack, RollbackFailed, NotStarted, Failed };
const char* applyStateName(ApplyState state);

struct KeyboardApply {
    ApplyState state = ApplyState::Unchanged;
    std::string reason;                   // why it was rolled back, failed or not started
    std::filesystem::path rollbackImage;  // the configuration it had, kept before the import
};

struct FleetApply {
    std::vector<KeyboardApply> keyboards;
    std::vector<FleetStatus> statuses;
    bool ok() const;  // every keyboard applied or unchanged (or not managed)
};

// Applies a plan: for each keyboard with changes, keeps its live configuration under
// DIR/.rollback/NAME/, sends the desired image, fetches it back and compares; when the send
// fails or the keyboard holds something else, sends the kept configuration back and verifies
// that too. The first `canary` keyboards with changes go one at a time, and the run stops when
// one of them does not end applied; the others go `jobs` at a time.
FleetApply applyFleet(const std::vector<FleetKeyboard>& keyboards, const FleetPlan& plan,
                      const std::filesystem::path& desired, int jobs, int canary,
                      const NetSdkFactory& sdkFactory, const FleetObserver& observer = {});

}  // namespace kbcfg::remote
