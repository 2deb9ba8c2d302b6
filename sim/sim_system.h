#pragma once
// What the simulator needs of the system, on Linux and on Windows alike. The libraries share no
// code with the tool, not even its platform layer, so they carry this small one of their own.
// Paths are UTF-8 text, as the libraries' C interface passes them.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vyxsim::sys {

// The characters that end a folder's name in a path.
#ifdef _WIN32
inline constexpr const char* kSeparators = "/\\";
#else
inline constexpr const char* kSeparators = "/";
#endif

enum class Links { Follow, Refuse };

// Reads a whole regular file of at most `limit` bytes. Its type is checked on the opened file,
// and it is opened without blocking, so a FIFO cannot block the reader and a device cannot flood
// it. With Links::Refuse a link in its place is not followed but refused. False, with the reason
// in `error`, otherwise; `missing` then tells whether there was no file by that name at all.
bool readRegularFile(const std::string& path, std::size_t limit, Links links,
                     std::vector<std::uint8_t>& out, std::string& error, bool* missing = nullptr);

// Replaces folder/name as a whole (a temporary file written and flushed, then renamed over it),
// so that another process reads the old file or the new one, never half of one. The folder is
// made, private, when missing.
bool replaceFile(const std::string& folder, const std::string& name,
                 const std::vector<std::uint8_t>& bytes);

// Size and modification time of a file (links followed), to tell whether it changed; size -1
// when there is nothing to look at.
struct Stamp {
    std::int64_t size = -1;
    std::int64_t mtimeNs = 0;
    bool operator==(const Stamp&) const = default;
};
Stamp stampOf(const std::string& path);

// std::fopen of a UTF-8 path.
std::FILE* openFile(const std::string& path, const char* mode);

// An environment variable as UTF-8 text; empty when unset.
std::string environment(const char* name);

}  // namespace vyxsim::sys
