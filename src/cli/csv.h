#pragma once
// Reading a CSV file or standard input for `import-csv`; the lines are split by store/csv.

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

}  // namespace kbcfg::cli
