#include "platform/dynlib.h"

#include <windows.h>

#include <cstring>

#include "platform/windows/system_message.h"

namespace kbcfg::platform {

void* openLibrary(const std::filesystem::path& path, std::string& why) {
    // The library's own dependencies are looked for beside it, not in the working folder.
    HMODULE module = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module) why = win::systemMessage(::GetLastError());
    return module;
}

void* librarySymbol(void* library, const char* name) {
    if (!library) return nullptr;
    const FARPROC address = ::GetProcAddress(static_cast<HMODULE>(library), name);
    void* out = nullptr;
    static_assert(sizeof out == sizeof address);
    std::memcpy(&out, &address, sizeof out);
    return out;
}

std::string libraryFileName(std::string_view stem) {
    return std::string(stem) + ".dll";
}

std::filesystem::path executablePath() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            return std::filesystem::path(buffer);
        }
        // Cut to fit: try again with more room.
        if (buffer.size() >= 32768) return {};
        buffer.resize(buffer.size() * 2);
    }
}

bool pathForLibrary(const std::filesystem::path& path, std::string& out) {
    out.clear();
    const std::wstring& wide = path.native();
    if (wide.empty()) return true;
    // A system set to UTF-8 takes every path (and refuses the flags below).
    if (::GetACP() == CP_UTF8) {
        out = win::toUtf8(wide);
        return out.find('\0') == std::string::npos;
    }
    BOOL lost = FALSE;
    const int size = static_cast<int>(wide.size());
    const int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr, 0,
                                        nullptr, &lost);
    if (n <= 0 || lost) return false;
    out.resize(static_cast<std::size_t>(n));
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, out.data(), n, nullptr,
                          &lost);
    // A zero inside would end the C string early, naming another file.
    return !lost && out.find('\0') == std::string::npos;
}

}  // namespace kbcfg::platform
