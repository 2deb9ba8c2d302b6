#include "cli/csv.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string_view>

#include "platform/paths.h"
#include "store/csv.h"
#include "store/files.h"

namespace kbcfg::cli {

namespace {

std::optional<std::string> readStdin(std::string& error) {
    std::string text;
    char chunk[65536];
    while (std::cin.read(chunk, sizeof chunk) || std::cin.gcount() > 0) {
        text.append(chunk, static_cast<std::size_t>(std::cin.gcount()));
        if (text.size() > kMaxCsvBytes) break;
    }
    if (std::cin.bad()) {
        error = "standard input cannot be read";
        return std::nullopt;
    }
    return text;
}

std::optional<std::string> readFileText(const std::string& name, std::string& error) {
    const auto path = platform::fromUtf8(name);
    const auto bytes = store::readFileBytes(path, kMaxCsvBytes + 1);
    if (!bytes) {
        // Only to word the message: the reader itself checked the opened file.
        std::error_code ec;
        const auto status = std::filesystem::status(path, ec);
        error = name + (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)
                            ? ": not a regular file"
                            : ": cannot be read");
        return std::nullopt;
    }
    return std::string(bytes->begin(), bytes->end());
}

}  // namespace

std::optional<std::vector<std::string>> readCsvLines(const std::string& name, std::string& error) {
    std::optional<std::string> text = name == "-" ? readStdin(error) : readFileText(name, error);
    if (!text) return std::nullopt;
    if (text->size() > kMaxCsvBytes) {
        error = name + ": larger than " + std::to_string(kMaxCsvBytes >> 20) + " MiB";
        return std::nullopt;
    }
    return store::csvLines(*text);
}

}  // namespace kbcfg::cli
