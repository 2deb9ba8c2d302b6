// Replays fuzz inputs (files, or folders of files) through the fuzz target, so the corpus is
// checked by the ordinary test suite without libFuzzer. The text readers' replay and the
// converters' replay each hold all their targets: the first argument names the one to run.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace fs = std::filesystem;
using Target = int (*)(const std::uint8_t* data, std::size_t size);

#ifdef KBCFG_TEXT_REPLAY
int textFormFuzz(const std::uint8_t* data, std::size_t size);
int inventoryFuzz(const std::uint8_t* data, std::size_t size);
int passwordsFuzz(const std::uint8_t* data, std::size_t size);
int csvFuzz(const std::uint8_t* data, std::size_t size);
int installationFuzz(const std::uint8_t* data, std::size_t size);

static Target named(const char* name) {
    static const struct {
        const char* name;
        Target target;
    } kTargets[] = {{"text_form", textFormFuzz},
                    {"inventory", inventoryFuzz},
                    {"passwords", passwordsFuzz},
                    {"csv", csvFuzz},
                    {"installation", installationFuzz}};
    for (const auto& t : kTargets)
        if (std::strcmp(t.name, name) == 0) return t.target;
    return nullptr;
}
#elif defined(KBCFG_CONVERT_REPLAY)
extern "C" int convert130826Fuzz(const std::uint8_t* data, std::size_t size);
extern "C" int convert120716Fuzz(const std::uint8_t* data, std::size_t size);
extern "C" int convert120208Fuzz(const std::uint8_t* data, std::size_t size);
extern "C" int convert110310Fuzz(const std::uint8_t* data, std::size_t size);
extern "C" int convert100901Fuzz(const std::uint8_t* data, std::size_t size);
extern "C" int convertIndexBaseFuzz(const std::uint8_t* data, std::size_t size);

static Target named(const char* name) {
    static const struct {
        const char* name;
        Target target;
    } kTargets[] = {{"130826", convert130826Fuzz}, {"120716", convert120716Fuzz},
                    {"120208", convert120208Fuzz}, {"110310", convert110310Fuzz},
                    {"100901", convert100901Fuzz}, {"index_base", convertIndexBaseFuzz}};
    for (const auto& t : kTargets)
        if (std::strcmp(t.name, name) == 0) return t.target;
    return nullptr;
}
#else
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
#endif

static void runOne(Target target, const fs::path& path, int& count) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    target(bytes.data(), bytes.size());
    ++count;
}

int main(int argc, char** argv) {
    int first = 1;
#if defined(KBCFG_TEXT_REPLAY) || defined(KBCFG_CONVERT_REPLAY)
    const Target target = argc > 1 ? named(argv[1]) : nullptr;
    if (!target) {
        std::fprintf(stderr, "usage: %s TARGET FILE-OR-FOLDER...\n", argv[0]);
        return 2;
    }
    first = 2;
#else
    const Target target = LLVMFuzzerTestOneInput;
#endif
    int count = 0;
    for (int i = first; i < argc; ++i) {
        const fs::path arg = argv[i];
        if (fs::is_directory(arg)) {
            for (const auto& entry : fs::recursive_directory_iterator(arg))
                if (entry.is_regular_file()) runOne(target, entry.path(), count);
        } else if (fs::is_regular_file(arg)) {
            runOne(target, arg, count);
        }
    }
    std::printf("replayed %d inputs\n", count);
    return count > 0 ? 0 : 1;
}
