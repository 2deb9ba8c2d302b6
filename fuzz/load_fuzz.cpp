// Fuzz target for the loader: the input is the plain (unscrambled) content of a configuration
// file of any layout. Each input is decoded as it is, and once more with its checksum repaired,
// so that mutations get past the integrity check and reach the converters.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "store/bytes.h"
#include "store/checksum.h"
#include "store/config_image.h"
#include "store/loader.h"

using namespace kbcfg::store;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static ConfigImage* image = new ConfigImage;
    decodeImage({data, size}, *image);

    if (size < 16) return 0;
    std::vector<std::uint8_t> repaired(data, data + size);
    const std::uint32_t length = getU32(repaired.data() + 8);
    putU32(repaired.data() + 4, imageChecksum(repaired, length));
    const DecodeResult result = decodeImage(repaired, *image);
    // Whatever the input, a successful load yields a current image whose checksum holds.
    if (result.ok() && (image->version() != layout::kVersion || image->magic() != layout::kMagic ||
                        image->checksum() != image->computeChecksum()))
        __builtin_trap();
    return 0;
}
