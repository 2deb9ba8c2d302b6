#include "cli/backup_command.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <system_error>

#include "cli/json_output.h"
#include "cli/terminal_host.h"
#include "store/checksum.h"
#include "store/files.h"
#include "store/full_path.h"
#include "store/loader.h"
#include "store/messages.h"

namespace kbcfg::cli {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSuffix = ".bak";
constexpr std::size_t kStampChars = 15;  // YYYYMMDD-HHMMSS

fs::path backupFolderOf(const fs::path& configPath) {
    store::SessionState paths;
    store::setConfigPaths(paths, configPath);
    return store::backupFolder(paths);
}

bool allDigits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

// Where a backup name of fileName sorts: its stamp, then its serial within the second (1 for
// none). nullopt for any other name.
struct Order {
    std::string stamp;
    unsigned long serial = 1;
    auto operator<=>(const Order&) const = default;
};

std::optional<Order> orderOf(const std::string& name, const std::string& fileName) {
    const std::string prefix = fileName + ".";
    if (name.size() < prefix.size() + kStampChars + 4 ||
        name.compare(0, prefix.size(), prefix) != 0 || !name.ends_with(kSuffix))
        return std::nullopt;
    const std::string_view rest = std::string_view(name).substr(
        prefix.size(), name.size() - prefix.size() - std::string_view(kSuffix).size());
    const std::string_view stamp = rest.substr(0, kStampChars);
    if (!allDigits(stamp.substr(0, 8)) || stamp[8] != '-' || !allDigits(stamp.substr(9, 6)))
        return std::nullopt;
    Order order{std::string(stamp)};
    const std::string_view serial = rest.substr(kStampChars);
    if (serial.empty()) return order;
    if (serial[0] != '-' || !allDigits(serial.substr(1)) || serial.size() > 10 || serial[1] == '0')
        return std::nullopt;
    order.serial = std::stoul(std::string(serial.substr(1)));
    return order;
}

}  // namespace

std::vector<fs::path> listBackups(const fs::path& configPath) {
    const std::string fileName = configPath.filename().string();
    std::vector<std::pair<Order, fs::path>> found;
    std::error_code ec;
    for (fs::directory_iterator it(backupFolderOf(configPath), ec), end; !ec && it != end;
         it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        if (auto order = orderOf(it->path().filename().string(), fileName))
            found.emplace_back(std::move(*order), it->path());
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return b < a; });
    std::vector<fs::path> paths;
    for (auto& entry : found) paths.push_back(std::move(entry.second));
    return paths;
}

bool backUpConfigFile(const fs::path& configPath, std::string& why) {
    // Without its trailing separator, so that a file in the folder's place is seen as one.
    const fs::path folder = backupFolderOf(configPath).parent_path();
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        if (fs::exists(fs::symlink_status(folder, ec))) {
            why = folder.string() + " is not a folder";
            return false;
        }
        fs::create_directory(folder, ec);
        if (!fs::is_directory(folder)) {
            why = "cannot make the folder " + folder.string() + ": " + ec.message();
            return false;
        }
    }
    // The editing lock keeps other commands of this tool from choosing a name at the same time.
    const std::string base = configPath.filename().string() + "." + store::localTimeStamp();
    fs::path target = folder / (base + kSuffix);
    for (int serial = 2; fs::exists(fs::symlink_status(target, ec)); ++serial)
        target = folder / (base + "-" + std::to_string(serial) + kSuffix);
    if (!store::copyFileAtomically(store::followLinks(configPath), target)) {
        why = "cannot copy it to " + target.string();
        return false;
    }
    const std::vector<fs::path> backups = listBackups(configPath);
    for (std::size_t i = kBackupsKept; i < backups.size(); ++i) fs::remove(backups[i], ec);
    return true;
}

BackupsCommand::BackupsCommand()
    : Command("backups", "List the backups the editing commands kept of a file, newest first") {}

void BackupsCommand::setup(CLI::App& app) {
    app.add_option("FILE", file_, "Configuration file")->required();
    addJsonFlag(app);
}

int BackupsCommand::run(Context& ctx) {
    const fs::path file = store::fullPath(file_);
    const std::vector<fs::path> backups = listBackups(file);
    if (!ctx.host.json()) {
        for (const fs::path& backup : backups) std::cout << backup.string() << '\n';
        return kExitOk;
    }
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const fs::path& backup : backups) {
        std::error_code ec;
        const auto bytes = fs::file_size(backup, ec);
        list.push_back({{"name", backup.filename().string()},
                        {"path", backup.string()},
                        {"bytes", ec ? 0 : bytes}});
    }
    ctx.host.report()["file"] = file.string();
    ctx.host.report()["backupFolder"] = backupFolderOf(file).string();
    ctx.host.report()["backups"] = list;
    return kExitOk;
}

RestoreCommand::RestoreCommand()
    : Command("restore", "Put a backup back in place of a file (the file is backed up first)") {}

void RestoreCommand::setup(CLI::App& app) {
    app.add_option("FILE", file_, "Configuration file to replace")->required();
    app.add_option("BACKUP", backup_, "A backup: its path, or its name in the file's Backup folder")
        ->required();
    app.add_flag("--no-backup", noBackup_, "Replace the file without backing it up first");
    addJsonFlag(app);
}

int RestoreCommand::run(Context& ctx) {
    store::setConfigPaths(ctx.session, store::fullPath(file_));
    // A bare name is one of the file's backups.
    fs::path backup = backup_;
    if (!backup.has_parent_path()) backup = backupFolderOf(ctx.session.configPath) / backup;
    if (store::beginEditSession(ctx.host, ctx.session) != 0) return kExitFailed;
    const int status = restoreLocked(ctx, backup);
    store::endEditSession(ctx.session);
    return status;
}

int RestoreCommand::restoreLocked(Context& ctx, const fs::path& backup) {
    // Read first: backing up the current file may rotate the chosen backup away.
    const auto bytes = store::readFileBytes(backup, store::kScrambleLimit);
    if (!bytes) return fail("cannot read " + backup.string());
    std::vector<std::uint8_t> plain = *bytes;
    store::scrambleBytes(plain);
    auto check = std::make_unique<store::ConfigImage>();
    if (const store::DecodeResult decoded = store::decodeImage(plain, *check); !decoded.ok()) {
        store::showMessage(ctx.host, decoded.message);
        return fail(backup.string() + " is not a configuration file; nothing was restored");
    }
    const fs::path& file = ctx.session.configPath;
    std::error_code ec;
    if (!noBackup_ && fs::exists(file, ec)) {
        std::string why;
        if (!backUpConfigFile(file, why))
            return fail("cannot back up " + file.string() + ": " + why + "; nothing was restored");
    }
    if (!store::writeFileAtomically(file, bytes->data(), bytes->size(), store::LinkPolicy::Follow))
        return fail("cannot write " + file.string() + "; it is unchanged");
    ctx.host.summary("restored " + file.string() + " from " + backup.string(),
                     {{"file", file.string()}, {"backup", backup.string()}});
    return kExitOk;
}

}  // namespace kbcfg::cli
