#include "remote/library.h"

#include <system_error>

#include "kbcfg_build_info.h"
#include "platform/dynlib.h"
#include "platform/environment.h"
#include "platform/paths.h"
#include "store/trusted_path.h"

namespace kbcfg::remote {

namespace {
// The working folder the process started in. The desktop tool later moves into the folder of the
// configuration file it opens, so a relative KBCFG_LIBDIR must not be resolved against that.
const std::filesystem::path& startFolder() {
    static const std::filesystem::path folder = [] {
        std::error_code ec;
        return std::filesystem::current_path(ec);
    }();
    return folder;
}
// Taken as the program starts, before main() can change folder.
[[maybe_unused]] const std::filesystem::path kStartFolder = startFolder();
}  // namespace

std::filesystem::path libraryFolder() {
    if (const auto dir = platform::environment("KBCFG_LIBDIR"); dir && !dir->empty())
        return (startFolder() / platform::fromUtf8(*dir)).lexically_normal();
    const auto exe = platform::executablePath();
    if (exe.empty()) return startFolder();
    // Installed, the libraries live in their own folder found relative to the executable, so a
    // moved tree keeps working; in the build tree they lie beside it.
    const auto installed = (exe.parent_path() / KBCFG_LIBDIR_FROM_BINDIR).lexically_normal();
    std::error_code ec;
    if (std::filesystem::is_directory(installed, ec)) return installed;
    return exe.parent_path();
}

SharedLibrary::SharedLibrary(std::string fileName, std::vector<const char*> symbols, Notice notice,
                             std::filesystem::path folder)
    : fileName_(std::move(fileName)),
      names_(std::move(symbols)),
      notice_(std::move(notice)),
      folder_(std::move(folder)),
      addresses_(names_.size(), nullptr) {}

void SharedLibrary::open() {
    std::call_once(opened_, [this] {
        const std::filesystem::path path = folder_ / fileName_;
        const std::string shown = platform::utf8(path);
        std::error_code ec;
        if (!std::filesystem::exists(path, ec)) {
            problem_ = "device library " + fileName_ + " not found in " + platform::utf8(folder_);
            return;
        }
        // Code that another local user could change would run as this user (or as root).
        if (const std::string why = store::strangerWritable(path); !why.empty()) {
            problem_ = "device library " + shown + " not loaded: " + why;
            return;
        }
        // Loaded with its symbols kept to itself: the two libraries must not see each other's.
        std::string why;
        void* handle = platform::openLibrary(path, why);
        if (!handle) {
            problem_ = "device library " + shown + " cannot be loaded: " + why;
            return;
        }
        std::string missing;
        for (std::size_t i = 0; i < names_.size(); ++i) {
            addresses_[i] = platform::librarySymbol(handle, names_[i]);
            if (!addresses_[i]) missing += std::string(missing.empty() ? "" : ", ") + names_[i];
        }
        if (!missing.empty()) problem_ = "device library " + shown + " lacks " + missing;
    });
}

void* SharedLibrary::symbol(std::size_t i) {
    open();
    void* address = i < addresses_.size() ? addresses_[i] : nullptr;
    if (!address && notice_) std::call_once(told_, [this] { notice_(problem_); });
    return address;
}

const std::string& SharedLibrary::problem() {
    open();
    return problem_;
}

}  // namespace kbcfg::remote
