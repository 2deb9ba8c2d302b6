#include "remote/fleet.h"

#include <algorithm>
#include <cctype>
#include <nlohmann/json.hpp>
#include <set>

#include "platform/paths.h"
#include "remote/fleet_work.h"
#include "remote/keyboard_fields.h"
#include "remote/modconfig.h"
#include "remote/modupdata.h"
#include "store/ansi.h"
#include "store/csv.h"
#include "store/files.h"
#include "store/json_errors.h"
#include "store/printable.h"
#include "store/safe_file.h"
#include "store/session.h"
#include "store/validators.h"

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

// One keyboard's work with the dialog a person would use; true when it succeeded.
bool exportOne(FleetStep& step, const FleetJob& job) {
    const std::filesystem::path folder = job.folder / platform::fromUtf8(step.keyboard.name);
    if (!makeFolders(job.folder, step.problem) || !keyboardFolder(folder, step.problem))
        return false;
    ClaimedFile file;
    if (!file.claim(folder, job.stamp, step.problem)) return false;
    store::SessionState session;  // the dialog's own: no worker touches the process's session
    modconfig dialog(step.host, session, step.sdk);
    // The limits a chosen file meets, so that the login and the import can open the file.
    if (!checkPathLimits(step.host, file.path())) return false;
    dialog.chosenPath = file.path();
    fillKeyboard(dialog.keyboard, step.keyboard);
    if (dialog.exportFile() != store::Outcome::Done) return false;
    file.keep();
    step.output = dialog.chosenPath;
    return true;
}

bool importOne(FleetStep& step, const FleetJob& job) {
    KeyboardFields fields;
    fillKeyboard(fields, step.keyboard);
    return importConfigFile(step.host, step.sdk, fields, job.file, true) == store::Outcome::Done;
}

bool upgradeOne(FleetStep& step, const FleetJob& job) {
    modupdata dialog(step.host, step.sdk);
    dialog.onModeChanged(job.panel ? modupdata::kPanel : modupdata::kFirmware);
    if (!dialog.usePackage(job.file)) return false;
    fillKeyboard(dialog.keyboard, step.keyboard);
    if (dialog.startUpgrade() != store::Outcome::Done) return false;
    // Polled every 500 ms on this worker's thread, as the dialog's timer does.
    while (dialog.running() && step.host.runNextTimer())
        step.progress(dialog.progress, job.panel ? dialog.statusText : std::string());
    // The panel's end texts are status lines, not messages.
    if (job.panel && dialog.finished.has_value()) step.finalText = dialog.statusText;
    return dialog.finished.value_or(false);
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
        store::codePointCount(platform::utf8(folder / std::string(longestName, 'n') / longestFile));
    if (longest > store::kMaxPathChars) {
        error = shownPath(folder) + ": the files' paths would reach " + std::to_string(longest) +
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
    return runOnFleet(
        keyboards, {}, job.jobs, sdkFactory,
        [&](FleetStep& step) {
            switch (job.task) {
                case FleetTask::Export:
                    return exportOne(step, job);
                case FleetTask::Import:
                    return importOne(step, job);
                case FleetTask::Upgrade:
                    return upgradeOne(step, job);
            }
            return false;
        },
        observer);
}

}  // namespace kbcfg::remote
