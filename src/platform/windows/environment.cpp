#include "platform/environment.h"

#include <windows.h>

#include "platform/windows/win32.h"

namespace kbcfg::platform {

std::optional<std::string> environment(const char* name) {
    // Names are ASCII; the value is read in UTF-16 so that no character is lost to the ANSI
    // code page.
    const std::wstring wideName = win::fromUtf8(name);
    std::wstring value(64, L'\0');
    for (;;) {
        ::SetLastError(ERROR_SUCCESS);
        const DWORD n = ::GetEnvironmentVariableW(wideName.c_str(), value.data(),
                                                  static_cast<DWORD>(value.size()));
        if (n == 0) {
            if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
            return std::string();
        }
        // Too small: n is the size needed, terminator included.
        if (n >= value.size()) {
            value.assign(n, L'\0');
            continue;
        }
        value.resize(n);
        return win::toUtf8(value);
    }
}

std::vector<UserFolder> userRuntimeFolders(std::string_view app) {
    std::vector<UserFolder> folders;
    const auto local = environment("LOCALAPPDATA");
    if (!local || local->empty()) return folders;
    const std::filesystem::path base(win::fromUtf8(*local));
    if (base.is_absolute()) folders.push_back({base / win::fromUtf8(app), true});
    return folders;
}

}  // namespace kbcfg::platform
