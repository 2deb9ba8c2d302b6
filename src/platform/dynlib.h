#pragma once
// Libraries loaded at run time (the device libraries), and the running executable, whose folder
// they are looked for in.

#include <filesystem>
#include <string>
#include <string_view>

namespace kbcfg::platform {

// Loads the library at `path` with all its symbols resolved now and kept to itself (they do not
// serve other libraries). Null, with the system's reason in `why`, when it cannot be loaded. A
// library is never unloaded: one with a thread of its own must not go under it.
void* openLibrary(const std::filesystem::path& path, std::string& why);
// The address of a function of a loaded library, null when it has none of that name.
void* librarySymbol(void* library, const char* name);

// The file name a library of that stem has here: "libVorp.so" on Linux, "Vorp.dll" on Windows.
std::string libraryFileName(std::string_view stem);

// The running executable, empty when the system does not tell.
std::filesystem::path executablePath();

// A path as a C library of this system takes it in a `const char*`: the bytes on POSIX, the
// ANSI code page on Windows (what its fopen expects). False when the path has a character that
// code page cannot hold.
bool pathForLibrary(const std::filesystem::path& path, std::string& out);

}  // namespace kbcfg::platform
