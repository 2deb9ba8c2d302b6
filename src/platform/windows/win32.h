#pragma once
// What the Windows implementations of the platform layer share: error mapping, path and text
// conversion, and the security descriptors of private files. Included by platform/windows only.

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace kbcfg::platform {
class File;
}

namespace kbcfg::platform::win {

// A Windows error as a generic error code, so that callers test it as on POSIX systems.
std::error_code errorFrom(DWORD code);

inline HANDLE handleOf(const File& file);

// The path as the W functions take it: with the \\?\ prefix when the full path is too long for
// them otherwise, so that a path is limited as on Linux, not by MAX_PATH.
std::wstring nativePath(const std::filesystem::path& path);

// UTF-16 text as UTF-8 (a lone surrogate becomes U+FFFD).
std::string toUtf8(std::wstring_view text);
std::wstring fromUtf8(std::string_view text);

// A SID as its text ("S-1-5-21-..."), empty when it cannot be written.
std::string sidText(PSID sid);

// Memory that a Windows function allocated with LocalAlloc, freed when it goes.
struct LocalMemory {
    void* memory = nullptr;
    LocalMemory() = default;
    LocalMemory(const LocalMemory&) = delete;
    LocalMemory& operator=(const LocalMemory&) = delete;
    ~LocalMemory() {
        if (memory) ::LocalFree(memory);
    }
};

// The self-relative security descriptor of a private file or folder: this user owns it and only
// this user, SYSTEM and the administrators may use it (a folder passes that on to what is made
// in it). `readers` are SIDs that may also list the folder (read and traverse, not inherited).
std::vector<std::uint8_t> privateDescriptor(bool folder, const std::vector<std::string>& readers);

// The SIDs besides the owner, this user and the system's own that may read what a file of this
// descriptor protects.
std::vector<std::string> otherReaders(const std::vector<std::uint8_t>& descriptor);

// Owner and DACL of an open file as a self-relative descriptor; empty when it cannot be read.
std::vector<std::uint8_t> descriptorOf(HANDLE handle);

}  // namespace kbcfg::platform::win

#include "platform/files.h"

namespace kbcfg::platform::win {

inline HANDLE handleOf(const File& file) {
    return reinterpret_cast<HANDLE>(file.native());
}

}  // namespace kbcfg::platform::win
