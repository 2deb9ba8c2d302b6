#include "store/csv.h"

#include <algorithm>

namespace kbcfg::store {

namespace {
std::string trimmed(const std::string& s) {
    const auto begin = s.find_first_not_of(" \t");
    if (begin == std::string::npos) return {};
    return s.substr(begin, s.find_last_not_of(" \t") - begin + 1);
}
}  // namespace

std::vector<std::string> csvLines(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    std::vector<std::string> lines;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        if (line.ends_with('\r')) line.remove_suffix(1);
        lines.emplace_back(line);
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return lines;
}

bool parseCsvLine(const std::string& line, std::vector<std::string>& fields, std::string& error) {
    fields.clear();
    const std::string content = trimmed(line);
    if (content.empty() || content[0] == '#') return true;
    std::size_t i = 0;
    for (;;) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        std::string field;
        if (i < line.size() && line[i] == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                field += line[i++];
            }
            if (!closed) {
                error = "unterminated quoted field";
                return false;
            }
            while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
            if (i < line.size() && line[i] != ',') {
                error = "text after a quoted field";
                return false;
            }
        } else {
            const std::size_t comma = line.find(',', i);
            field =
                trimmed(line.substr(i, comma == std::string::npos ? std::string::npos : comma - i));
            i = comma == std::string::npos ? line.size() : comma;
        }
        fields.push_back(field);
        if (i >= line.size()) return true;
        ++i;  // the comma
    }
}

}  // namespace kbcfg::store
