#include "platform/environment.h"

#include <cstdlib>

#include "platform/paths.h"

namespace kbcfg::platform {

std::optional<std::string> environment(const char* name) {
    // Bytes as they are: the environment is taken to be UTF-8, like the command line.
    if (const char* value = std::getenv(name)) return std::string(value);
    return std::nullopt;
}

namespace {
// The variable as a folder, when it names an absolute one: a relative value would depend on the
// working folder.
std::optional<std::filesystem::path> absoluteFolder(const char* name) {
    const auto value = environment(name);
    if (!value || value->empty()) return std::nullopt;
    auto path = fromUtf8(*value);
    if (!path.is_absolute()) return std::nullopt;
    return path;
}
}  // namespace

std::vector<UserFolder> userRuntimeFolders(std::string_view app) {
    std::vector<UserFolder> folders;
    if (auto runtime = absoluteFolder("XDG_RUNTIME_DIR")) folders.push_back({*runtime, false});
    if (auto cache = absoluteFolder("XDG_CACHE_HOME"))
        folders.push_back({*cache / fromUtf8(app), true});
    else if (auto home = absoluteFolder("HOME"))
        folders.push_back({*home / ".cache" / fromUtf8(app), true});
    return folders;
}

}  // namespace kbcfg::platform
