#pragma once
// Safe writes that fail on purpose, for as long as the object lives: after a number of bytes (as
// a disk that fills up), or when the folder is flushed.

#include <algorithm>
#include <optional>
#include <system_error>

#include "store/safe_file.h"

namespace kbcfg::testing {

class FailingWrites : public store::WriteCalls {
  public:
    // `bytesBefore`: how many more bytes are written before every write fails (nullopt: none).
    explicit FailingWrites(std::optional<std::size_t> bytesBefore, bool folderSyncFails = false)
        : left_(bytesBefore),
          folderSyncFails_(folderSyncFails),
          before_(store::useWriteCalls(this)) {}
    ~FailingWrites() override { store::useWriteCalls(before_); }
    FailingWrites(const FailingWrites&) = delete;
    FailingWrites& operator=(const FailingWrites&) = delete;

    long write(platform::File& file, const std::uint8_t* data, std::size_t size,
               std::error_code& ec) override {
        if (left_ && *left_ == 0) {
            ec = std::make_error_code(std::errc::no_space_on_device);
            return -1;
        }
        const long n = WriteCalls::write(file, data, left_ ? std::min(size, *left_) : size, ec);
        if (left_ && n > 0) *left_ -= static_cast<std::size_t>(n);
        return n;
    }
    bool syncFolder(const std::filesystem::path& folder, std::error_code& ec) override {
        if (!folderSyncFails_) return WriteCalls::syncFolder(folder, ec);
        ec = std::make_error_code(std::errc::io_error);
        return false;
    }

  private:
    std::optional<std::size_t> left_;
    bool folderSyncFails_;
    store::WriteCalls* before_;
};

}  // namespace kbcfg::testing
