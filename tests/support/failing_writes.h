#pragma once
// Safe writes that fail on purpose, for as long as the object lives: after a number of bytes (as
// a disk that fills up), or when the folder is flushed.

#include <algorithm>
#include <cerrno>
#include <optional>

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

    long write(int fd, const std::uint8_t* data, std::size_t size) override {
        if (left_ && *left_ == 0) {
            errno = ENOSPC;
            return -1;
        }
        const long n = WriteCalls::write(fd, data, left_ ? std::min(size, *left_) : size);
        if (left_ && n > 0) *left_ -= static_cast<std::size_t>(n);
        return n;
    }
    int syncFolder(int fd) override {
        if (!folderSyncFails_) return WriteCalls::syncFolder(fd);
        errno = EIO;
        return -1;
    }

  private:
    std::optional<std::size_t> left_;
    bool folderSyncFails_;
    store::WriteCalls* before_;
};

}  // namespace kbcfg::testing
