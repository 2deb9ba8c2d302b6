#include "platform/dynlib.h"

#include <dlfcn.h>

namespace kbcfg::platform {

void* openLibrary(const std::filesystem::path& path, std::string& why) {
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* error = ::dlerror();
        why = error ? error : "unknown error";
    }
    return handle;
}

void* librarySymbol(void* library, const char* name) {
    return library ? ::dlsym(library, name) : nullptr;
}

std::string libraryFileName(std::string_view stem) {
    return "lib" + std::string(stem) + ".so";
}

std::filesystem::path executablePath() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe;
}

bool pathForLibrary(const std::filesystem::path& path, std::string& out) {
    out = path.native();
    return true;
}

}  // namespace kbcfg::platform
