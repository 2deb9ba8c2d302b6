#include "cli/image_output.h"

#include <vector>

#include "store/checksum.h"
#include "store/files.h"

namespace kbcfg::cli {

bool writeScrambledImage(const std::filesystem::path& path, const store::ConfigImage& image) {
    std::vector<std::uint8_t> bytes(image.bytes().begin(), image.bytes().end());
    store::scrambleBytes(bytes);
    // An output never writes through a link: a link at OUT is replaced by the file.
    return store::writeFileAtomically(path, bytes.data(), bytes.size(), store::LinkPolicy::Replace);
}

}  // namespace kbcfg::cli
