#pragma once
// Keyboard fleets: an inventory of keyboards, and an export, import or upgrade run on every one
// of them by a bounded pool of workers. Each worker drives the same dialogs as a person would
// (modconfig, the import, modupdata) with its own library handle and login; one keyboard's
// failure never stops the others.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "remote/netsdk.h"
#include "store/ipv4_fields.h"

namespace kbcfg::remote {

inline constexpr int kDefaultFleetJobs = 8;
inline constexpr int kMaxFleetJobs = 64;
// An inventory lists keyboards, not a whole network: larger files are refused.
inline constexpr std::size_t kMaxInventoryBytes = 4u << 20;
// A keyboard's name is the folder of its exports.
inline constexpr std::size_t kMaxKeyboardNameChars = 64;
// Exports of one keyboard within one second are told apart by a suffix -2 ... -99.
inline constexpr int kMaxExportSerial = 99;

struct FleetKeyboard {
    std::string name;
    store::Ipv4Fields address;
    std::string port = "8000";  // as typed into a dialog's port box, which judges it
    std::string password;
    int line = 0;  // where the inventory lists it (CSV line, or JSON entry from 1)
};

// CSV, one keyboard a line: "name,ip,port" (port optional, 8000; a header line "name,ip,port",
// empty lines and lines starting with # are skipped), or JSON: an array of
// {"name", "ip", "port"} objects, bare or under "keyboards". Names are 1..64 letters, digits,
// '.', '_' or '-', starting with a letter or digit, each used once, as is each address and port.
// Passwords have no place in an inventory. nullopt with `error` naming the line otherwise.
std::optional<std::vector<FleetKeyboard>> parseInventory(std::string_view text, std::string& error);
// The same from a regular file.
std::optional<std::vector<FleetKeyboard>> readInventory(const std::filesystem::path& file,
                                                        std::string& error);

// A password file: lines "NAME:PASSWORD", "*:PASSWORD" for every keyboard not named, # comments.
// Only its owner may read or write it (mode 0600 or 0400), checked on the opened file.
std::optional<std::map<std::string, std::string>> readPasswordFile(
    const std::filesystem::path& file, std::string& error);
// The same from the file's text.
std::optional<std::map<std::string, std::string>> parsePasswords(std::string_view text,
                                                                 std::string& error);

// Gives every keyboard its password: the file's line for it, else the file's "*" line, else
// `fallback` (the environment's), else none. A name the inventory does not list is an error: a
// misspelt name must not quietly send another password.
bool assignPasswords(std::vector<FleetKeyboard>& keyboards,
                     const std::map<std::string, std::string>& file,
                     const std::optional<std::string>& fallback, std::string& error);

enum class FleetTask { Export, Import, Upgrade };

struct FleetJob {
    FleetTask task = FleetTask::Export;
    std::filesystem::path folder;  // export: each keyboard's files go to folder/NAME/ (0700)
    std::string stamp;             // export: "YYYYMMDD-HHMMSS", the same for the whole run
    std::filesystem::path file;    // import: the configuration file; upgrade: the package
    bool panel = false;            // upgrade: a panel program
    int jobs = kDefaultFleetJobs;
};

// STAMP.bin, STAMP-2.bin, ...: short enough for the file-name limit whatever the keyboard's name.
std::string fleetExportName(const std::string& stamp, int serial = 1);

// Before an export contacts any keyboard: the longest path it may write (folder, the longest
// name, a stamp with a two-digit serial) must stay within the path limit, so that the login and
// the import can open every file; the folder is made (0700) when missing, an existing one keeps
// its mode. False with `error` otherwise.
bool prepareExportFolder(const std::filesystem::path& folder,
                         const std::vector<FleetKeyboard>& keyboards, std::string& error);

enum class FleetState { Waiting, Running, Done, Failed };
const char* stateName(FleetState state);

struct FleetStatus {
    FleetState state = FleetState::Waiting;
    int progress = 0;     // percent
    std::string message;  // what the keyboard's dialog says now, with the reason of a failed login
    std::vector<std::pair<int, std::string>> messages;  // catalogue messages shown, in order
    std::filesystem::path output;                       // export: the file written
    long long milliseconds = 0;                         // from its start to its end
};

// Told of every change of a keyboard's status, one call at a time, from the workers' threads.
using FleetObserver = std::function<void(std::size_t index, const FleetStatus& status)>;

// Runs the job on every keyboard with min(job.jobs, keyboards) workers, taking the keyboards in
// inventory order; returns each keyboard's final status.
std::vector<FleetStatus> runFleet(const std::vector<FleetKeyboard>& keyboards, const FleetJob& job,
                                  const NetSdkFactory& sdkFactory,
                                  const FleetObserver& observer = {});

}  // namespace kbcfg::remote
