// Writes the fuzz seed corpus: a plain configuration file of every layout, with a plausible
// installation in it, plus a few damaged variants.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/legacy_files.h"

namespace fs = std::filesystem;
using namespace kbcfg::testing;

static void write(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kbcfg_make_seeds FOLDER\n");
        return 2;
    }
    const fs::path folder = argv[1];
    fs::create_directories(folder);
    const FileContent content = sampleContent();

    write(folder / "current.bin", makeCurrentFile(content));
    for (std::uint32_t version :
         {0x130826u, 0x120716u, 0x120208u, 0x110607u, 0x110310u, 0x100901u}) {
        char name[32];
        std::snprintf(name, sizeof name, "v%06x.bin", version);
        std::vector<std::uint8_t> file = makeOldFile(version, content);
        write(folder / name, file);
        // The same file cut short and resealed over what is left.
        file.resize(file.size() / 3);
        resealFile(file, static_cast<std::uint32_t>(file.size() - 12));
        std::snprintf(name, sizeof name, "v%06x-short.bin", version);
        write(folder / name, file);
    }
    return 0;
}
