// Structure-aware fuzz target for the loader. Mutating whole 1.7 MB files is slow, so the input
// is a small edit script over a generated, valid file of one of the seven layouts:
//   byte 0: layout (modulo 7); byte 1: bit 0 set = reseal the checksum over the file's own length
//   after the edits, bits 1..7 = how much to cut off the end (in 1/128 of the size);
//   then 4-byte edits: a 24-bit offset (little-endian, modulo the file size) and the new byte.
// Edits that land in the header test the checks; edits elsewhere, resealed, drive the converters.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "store/bytes.h"
#include "store/checksum.h"
#include "store/config_image.h"
#include "store/loader.h"
#include "support/legacy_files.h"

using namespace kbcfg;

namespace {

const std::vector<std::vector<std::uint8_t>>& seeds() {
    static const std::vector<std::vector<std::uint8_t>> files = [] {
        const testing::FileContent content = testing::sampleContent();
        std::vector<std::vector<std::uint8_t>> out;
        out.push_back(testing::makeCurrentFile(content));
        for (std::uint32_t v : {0x130826u, 0x120716u, 0x120208u, 0x110607u, 0x110310u, 0x100901u})
            out.push_back(testing::makeOldFile(v, content));
        return out;
    }();
    return files;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static store::ConfigImage* image = new store::ConfigImage;
    if (size < 2) return 0;
    std::vector<std::uint8_t> file = seeds()[data[0] % seeds().size()];
    const bool reseal = data[1] & 1;
    const std::size_t cut = file.size() / 128 * (data[1] >> 1);
    for (std::size_t i = 2; i + 4 <= size; i += 4) {
        const std::size_t offset =
            (data[i] | (data[i + 1] << 8) | (data[i + 2] << 16)) % file.size();
        file[offset] = data[i + 3];
    }
    file.resize(file.size() - cut);
    if (reseal && file.size() >= 16) {
        const std::uint32_t length = store::getU32(file.data() + 8);
        store::putU32(file.data() + 4, store::imageChecksum(file, length));
    }
    const store::DecodeResult result = store::decodeImage(file, *image);
    if (result.ok() && (image->version() != store::layout::kVersion ||
                        image->checksum() != image->computeChecksum()))
        __builtin_trap();
    return 0;
}
