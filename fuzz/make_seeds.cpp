// Writes the fuzz seed corpus: one plain configuration file of every layout.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "store/config_image.h"

using namespace kbcfg::store;

static void write(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kbcfg_make_seeds FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    auto image = std::make_unique<ConfigImage>();
    image->setMagic(layout::kMagic);
    image->setLength(layout::kLength);
    image->setVersion(layout::kVersion);
    image->operatorRecord(0).setInUse(1);
    image->operatorRecord(0).setName("admin");
    image->updateChecksum();
    write(folder / "current.bin", image->bytes().data(), image->bytes().size());
    return 0;
}
