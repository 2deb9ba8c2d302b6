#pragma once
// A fresh folder under the system temp directory, removed with everything in it.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/paths.h"

namespace kbcfg::testing {

class TempDir {
  public:
    // A random name, made only if no such folder exists yet, and the owner's alone (as mkdtemp).
    TempDir() {
        namespace fs = std::filesystem;
        const fs::path top = fs::temp_directory_path();
        std::random_device random;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const fs::path candidate = top / ("kbcfg-test-" + std::to_string(random()));
            std::error_code ec;
            if (fs::create_directory(candidate, ec)) path_ = candidate;
        }
        if (path_.empty()) std::abort();
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::replace, ec);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // `name` is UTF-8 text, as the tests write names.
    std::filesystem::path operator/(const std::string& name) const {
        return path_ / platform::fromUtf8(name);
    }

  private:
    std::filesystem::path path_;
};

inline std::vector<std::uint8_t> readAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void writeAll(const std::filesystem::path& p, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

}  // namespace kbcfg::testing
