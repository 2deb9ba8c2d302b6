// Fuzz targets for one converter each, fast enough to explore: a valid file of the layout
// KBCFG_FUZZ_LAYOUT stays in one reused buffer, each input is a small edit script over it, and
// only that converter runs: stage 1 for the five older layouts; for 0x130826 stage 2 with bases
// from a counter or, with KBCFG_FUZZ_INDEX_BASES, the index-base allocator alone, checked against
// the literal one. The edits are undone afterwards, so no input pays for copying the file.
//
// Input: byte 0: bit 0 set = reseal the checksum after the edits, bit 1 set = compare more index
// bases with the literal allocator (a full scan each); then edits, each a byte whose low 4 bits
// choose a region of the layout (modulo the regions below) and bits 4..5 a width of 1, 2 or 4
// bytes (3 is 4 too), a 24-bit offset into the region (little-endian, modulo its size) and the
// new bytes, so that whole fields can be written at once. Short files are left to the loader's
// targets: padding them costs a fresh buffer per input.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "store/bytes.h"
#include "store/checksum.h"
#include "store/config_image.h"
#include "store/legacy.h"
#include "support/legacy_files.h"
#include "support/literal_index_base.h"

#ifndef KBCFG_FUZZ_LAYOUT
#error "KBCFG_FUZZ_LAYOUT names the layout of the target"
#endif
// The replay program holds every converter's target, each built under the name KBCFG_FUZZ_ENTRY.
#ifndef KBCFG_FUZZ_ENTRY
#define KBCFG_FUZZ_ENTRY LLVMFuzzerTestOneInput
#define KBCFG_FUZZ_ALONE
#endif

using namespace kbcfg;

namespace {

constexpr std::uint32_t kLayout = KBCFG_FUZZ_LAYOUT;
#ifdef KBCFG_FUZZ_INDEX_BASES
constexpr bool kIndexBases = true;
#else
constexpr bool kIndexBases = false;
#endif
static_assert(!kIndexBases || kLayout == store::legacy::kV130826);
constexpr bool kStageTwo = kLayout == store::legacy::kV130826;
constexpr std::size_t kDeviceSlots = 3840, kDeviceSize = 128;

struct Region {
    std::size_t offset, size;
};

struct Target {
    std::vector<std::uint8_t> pristine;
    std::vector<std::uint8_t> file;  // pristine outside the edits of the running input
    std::vector<Region> regions;     // the whole file first, then its tables
    std::vector<std::uint8_t> intermediate;
    store::ConfigImage image;

    Target() {
        pristine = testing::makeOldFile(kLayout, testing::sampleContent());
        file = pristine;
        const testing::OldLayout& l = testing::oldLayout(kLayout);
        const std::size_t rows = 48 * l.rowSize;
        regions = {{0, l.size}, {0, 384}};
        for (Region r : {Region{l.devices, kDeviceSlots * kDeviceSize},
                         {l.wordsA, 12},
                         {l.lists, 3 * 2 * static_cast<std::size_t>(l.listEntries)},
                         {l.channels, 3 * 12 * static_cast<std::size_t>(l.channelEntries)},
                         {l.inputRows, rows},
                         {l.outputRows, rows},
                         {l.blockB, l.blockBSize},
                         {l.wordsC, 12},
                         {l.matrices, 3 * 32 * 516},
                         {l.streams, 3 * 36 * static_cast<std::size_t>(l.streamRecords)},
                         {l.tail272, 272},
                         {l.tail8212, 8212}})
            if (r.offset != 0) regions.push_back(r);  // 0: the layout has no such region
    }
};

Target& target() {
    static Target* t = new Target;  // never freed: the fuzzer exits without unwinding
    return *t;
}

void check(bool holds) {
    if (!holds) __builtin_trap();
}

void runStageOne(Target& t, std::span<const std::uint8_t> file, bool mustLoad) {
    const std::uint8_t* before = t.intermediate.data();
    const std::size_t sizeBefore = t.intermediate.size();
    if (store::legacy::convertToIntermediate(kLayout, file, t.intermediate)) {
        check(t.intermediate.size() == store::legacy::kIntermediateSize);
        check(store::getU32(t.intermediate.data() + 12) == store::legacy::kV130826);
    } else {
        check(!mustLoad);
        check(t.intermediate.data() == before && t.intermediate.size() == sizeBefore);
    }
}

void runStageTwo(Target& t, std::span<const std::uint8_t> file) {
    std::uint32_t base = 0;
    check(store::legacy::convertIntermediate(file, t.image, [&] { return base += 1000; }));
    check(t.image.version() == store::layout::kVersion);
    check(t.image.length() == store::layout::kLength);
}

// As many bases as the conversion asks for (one per typed device) and as many again, so that
// running out is reached too.
void runIndexBases(std::span<const std::uint8_t> file, bool compareMore) {
    const std::uint8_t* devices = file.data() + testing::oldLayout(kLayout).devices;
    std::size_t typed = 0;
    for (std::size_t slot = 0; slot < kDeviceSlots; ++slot)
        typed += store::legacy::takesIndexBase(
            store::getU16(devices + kDeviceSize * slot + store::DeviceRecord::kDeviceType));
    store::legacy::IndexBaseAllocator allocator(file);
    testing::LiteralIndexBaseAllocator literal(file);
    const std::size_t compared = compareMore ? 4 : 1;
    std::uint32_t last = 0;
    for (std::size_t i = 0; i < 2 * typed; ++i) {
        const std::uint32_t base = allocator.allocateIndexBase();
        // Whole thousands going up until they run out; from then on only 0.
        check(base % 1000 == 0 && base <= store::legacy::IndexBaseAllocator::kLastBase);
        check(base == 0 || (base > last && (i == 0 || last != 0)));
        if (i < compared) check(base == literal.allocateIndexBase());
        last = base;
    }
}

}  // namespace

#ifdef KBCFG_FUZZ_ALONE
// Each input frees a few large buffers: a small quarantine lets them be reused instead of
// faulting in fresh pages every time (a use after free within an input is still caught).
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=16";
}
#endif

extern "C" int KBCFG_FUZZ_ENTRY(const std::uint8_t* data, std::size_t size) {
    Target& t = target();
    if (size < 1) return 0;
    const bool reseal = data[0] & 1;
    std::uint8_t* file = t.file.data();
    const std::uint32_t length = store::getU32(file + 8);
    const std::uint32_t checksum = store::getU32(file + 4);

    // The checksum is a sum of little-endian 16-bit words from offset 12, so each edit changes
    // it by the difference of its byte, shifted to its half of the word.
    std::uint32_t resealed = checksum;
    std::vector<std::size_t> edited;
    bool headerEdited = false;  // magic or length: the file may then be refused
    for (std::size_t i = 1; i + 4 <= size;) {
        const Region& r = t.regions[(data[i] & 15) % t.regions.size()];
        const std::size_t width = std::size_t{1} << std::min((data[i] >> 4) & 3, 2);
        const std::size_t at =
            r.offset + (data[i + 1] | (data[i + 2] << 8) | (data[i + 3] << 16)) % r.size;
        i += 4;
        for (std::size_t k = at; k < at + width && k < t.file.size() && i < size; ++k, ++i) {
            if (k >= 12 && k - 12 < length)
                resealed += (std::uint32_t{data[i]} - file[k]) << (8 * ((k - 12) & 1));
            file[k] = data[i];
            edited.push_back(k);
            headerEdited |= k < 4 || (k >= 8 && k < 12);
        }
    }
    const std::span<const std::uint8_t> bytes(t.file);
    if (reseal)
        store::putU32(file + 4, headerEdited ? store::imageChecksum(bytes, store::getU32(file + 8))
                                             : resealed);

    if (kIndexBases)
        runIndexBases(bytes, data[0] & 2);
    else if (kStageTwo)
        runStageTwo(t, bytes);
    else
        runStageOne(t, bytes, reseal && !headerEdited);

    for (std::size_t at : edited) file[at] = t.pristine[at];
    store::putU32(file + 4, checksum);
    return 0;
}
