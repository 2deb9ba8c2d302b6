#include "cli/file_command.h"

#include <CLI/CLI.hpp>
#include <system_error>

#include "cli/terminal_host.h"
#include "store/files.h"

namespace kbcfg::cli {

namespace {

constexpr int kMessageOpenFailed = 2;

// Deletes the working copy however the command ends; a failed load leaves it behind.
class TempFileGuard {
  public:
    explicit TempFileGuard(const store::SessionState& session) : session_(session) {
        std::error_code ec;
        existedBefore_ =
            std::filesystem::exists(std::filesystem::symlink_status(session.tempPath, ec));
    }
    ~TempFileGuard() { removeNow(); }
    TempFileGuard(const TempFileGuard&) = delete;
    TempFileGuard& operator=(const TempFileGuard&) = delete;
    void removeNow() {
        if (armed_) store::removeTempFile(session_);
        armed_ = false;
    }
    // For a load that failed before it wrote the working copy: a tem.bin that was there
    // already (another session's) is not ours to delete.
    void keepEarlierCopy() {
        if (existedBefore_) armed_ = false;
    }

  private:
    const store::SessionState& session_;
    bool existedBefore_ = false;
    bool armed_ = true;
};

// The working copy overwrites and finally deletes tem.bin in the file's folder; a file that is
// itself that working copy would be destroyed by loading it.
bool isWorkingCopy(const store::SessionState& session) {
    if (session.configPath.filename() == store::kTempFileName) return true;
    std::error_code ec;
    return std::filesystem::equivalent(session.configPath, session.tempPath, ec);
}

}  // namespace

void FileCommand::addFileArgument(CLI::App& app, const std::string& name, const std::string& help) {
    // No existence check here: a missing file is the catalogue's "Open config file failed!"
    // with status 1, not a usage error.
    app.add_option(name, file_, help)->required();
}

int FileCommand::run(Context& ctx) {
    store::setConfigPaths(ctx.session, file_);
    if (isWorkingCopy(ctx.session))
        return fail(file_ + ": is the working copy " + store::kTempFileName +
                    " of its folder and cannot be opened as a configuration file");

    TempFileGuard guard(ctx.session);
    if (store::loadImage(ctx.host, ctx.session, ctx.image, &fileVersion_) != 0) {
        // The file could not be read (or the copy not created): the copy was never written.
        if (ctx.host.lastMessage() == kMessageOpenFailed) guard.keepEarlierCopy();
        return kExitFailed;
    }
    // Gone before the command writes anything, in case its output is named tem.bin.
    guard.removeNow();
    return runLoaded(ctx);
}

}  // namespace kbcfg::cli
