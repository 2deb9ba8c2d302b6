// Writes the fuzz seed corpus: a plain configuration file of every layout, with a plausible
// installation in it, plus a few damaged variants. With --text, the seeds of the text readers
// that are made rather than kept: the text form of every layout, with and without passwords, in
// FOLDER/text_form, and the simulator's demo installation in FOLDER/installation.

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "installation.h"
#include "store/config_image.h"
#include "store/loader.h"
#include "store/text_form.h"
#include "support/legacy_files.h"

namespace fs = std::filesystem;
using namespace kbcfg::testing;

static void write(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

static void write(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    write(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

static const std::uint32_t kOldVersions[] = {0x130826u, 0x120716u, 0x120208u,
                                             0x110607u, 0x110310u, 0x100901u};

static int textSeeds(const fs::path& folder) {
    namespace store = kbcfg::store;
    fs::create_directories(folder / "text_form");
    fs::create_directories(folder / "installation");
    std::vector<std::vector<std::uint8_t>> files = {makeCurrentFile(sampleContent())};
    for (std::uint32_t version : kOldVersions)
        files.push_back(makeOldFile(version, sampleContent()));
    auto image = std::make_unique<store::ConfigImage>();
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!store::decodeImage(files[i], *image).ok()) {
            std::fprintf(stderr, "kbcfg_make_seeds: generated file %zu does not load\n", i);
            return 1;
        }
        for (const bool withPasswords : {true, false}) {
            char name[48];
            std::snprintf(name, sizeof name, "layout%zu%s.json", i,
                          withPasswords ? "-passwords" : "");
            write(folder / "text_form" / name, store::textform::exportText(*image, withPasswords));
        }
    }
    write(folder / "installation" / "demo.json", std::string_view(vyxsim::demoInstallationJson()));
    return 0;
}

int main(int argc, char** argv) {
    const bool text = argc == 3 && std::strcmp(argv[1], "--text") == 0;
    if (argc != 2 && !text) {
        std::fprintf(stderr, "usage: kbcfg_make_seeds [--text] FOLDER\n");
        return 2;
    }
    const fs::path folder = argv[argc - 1];
    if (text) return textSeeds(folder);
    fs::create_directories(folder);
    const FileContent content = sampleContent();

    write(folder / "current.bin", makeCurrentFile(content));
    for (std::uint32_t version : kOldVersions) {
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
