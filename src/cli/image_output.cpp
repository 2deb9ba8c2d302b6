#include "cli/image_output.h"

#include <vector>

#include "store/checksum.h"
#include "store/config_lock.h"
#include "store/safe_file.h"

namespace kbcfg::cli {

bool writeScrambledImage(const std::filesystem::path& path, const store::ConfigImage& image,
                         std::string* why) {
    std::string reason;
    // Replacing a configuration file is a write like any other: not while someone edits it.
    const std::unique_ptr<store::ConfigLock> lock = store::ConfigLock::acquire(path, reason);
    bool written = false;
    if (lock) {
        std::vector<std::uint8_t> bytes(image.bytes().begin(), image.bytes().end());
        store::scrambleBytes(bytes);
        // An output never writes through a link: a link at the path is replaced by the file. It
        // holds every password: nobody else may read a new one.
        store::AtomicFile out(path, store::LinkPolicy::Replace, store::kPrivateFile);
        written = out.ok() && out.write(bytes.data(), bytes.size()) && out.commit();
        if (!written) reason = out.error();
    }
    if (why) *why = reason;
    return written;
}

}  // namespace kbcfg::cli
