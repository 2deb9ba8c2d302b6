#include "remote/library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>

#include "kbcfg_build_info.h"
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
    if (const char* dir = std::getenv("KBCFG_LIBDIR"); dir && *dir)
        return (startFolder() / dir).lexically_normal();
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return startFolder();
    // Installed, the libraries live in their own folder found relative to the executable, so a
    // moved tree keeps working; in the build tree they lie beside it.
    const auto installed = (exe.parent_path() / KBCFG_LIBDIR_FROM_BINDIR).lexically_normal();
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
        std::error_code ec;
        if (!std::filesystem::exists(path, ec)) {
            problem_ = "device library " + fileName_ + " not found in " + folder_.string();
            return;
        }
        // Code that another local user could change would run as this user (or as root).
        if (const std::string why = store::strangerWritable(path); !why.empty()) {
            problem_ = "device library " + path.string() + " not loaded: " + why;
            return;
        }
        // RTLD_LOCAL: the two libraries must not see each other's symbols.
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char* why = dlerror();
            problem_ = "device library " + path.string() +
                       " cannot be loaded: " + (why ? why : "unknown error");
            return;
        }
        std::string missing;
        for (std::size_t i = 0; i < names_.size(); ++i) {
            addresses_[i] = dlsym(handle, names_[i]);
            if (!addresses_[i]) missing += std::string(missing.empty() ? "" : ", ") + names_[i];
        }
        if (!missing.empty()) problem_ = "device library " + path.string() + " lacks " + missing;
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
