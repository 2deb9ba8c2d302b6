#pragma once
// One line of comma-separated values: fields may be double-quoted ("" is a quote inside), blanks
// around unquoted fields are dropped, a line that is empty or starts with # has no fields.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kbcfg::cli {

// Larger files are refused rather than cut short: a device table holds a few thousand lines.
inline constexpr std::size_t kMaxCsvBytes = 64u << 20;

// The lines of a CSV file ("-": standard input), without a leading UTF-8 byte-order mark (as
// spreadsheets write it) and without the carriage return of CRLF line ends. Only a regular file
// is read, so a FIFO or a device can neither block nor flood the import. nullopt, with `error`
// set, when it cannot be read.
std::optional<std::vector<std::string>> readCsvLines(const std::string& name, std::string& error);
// The same split of a text already read.
std::vector<std::string> csvLines(std::string_view text);

bool parseCsvLine(const std::string& line, std::vector<std::string>& fields, std::string& error);

}  // namespace kbcfg::cli
