// Fuzz target for the CSV lines of import-csv, read as the command reads them: the lines, each
// line's fields, and the address and port of a device line. Fields written back quoted read as
// the same fields.

#include <string>
#include <vector>

#include "store/csv.h"
#include "store/ipv4_fields.h"
#include "store/validators.h"
#include "text_fuzz.h"

using namespace kbcfg;

namespace {

std::string quoted(const std::vector<std::string>& fields) {
    std::string line;
    for (const std::string& f : fields) {
        if (!line.empty()) line += ',';
        line += '"';
        for (const char c : f) line += c == '"' ? std::string("\"\"") : std::string(1, c);
        line += '"';
    }
    return line;
}

}  // namespace

KBCFG_TEXT_TARGET(csvFuzz) {
    static std::vector<std::string>* fields = new std::vector<std::string>;
    static std::vector<std::string>* again = new std::vector<std::string>;
    const std::vector<std::string> lines = store::csvLines(fuzz::textOf(data, size));
    for (const std::string& line : lines) {
        fuzz::require(line.find('\n') == std::string::npos);
        std::string error;
        if (!store::parseCsvLine(line, *fields, error)) {
            fuzz::require(!error.empty());
            continue;
        }
        if (fields->empty()) continue;
        fuzz::require(store::parseCsvLine(quoted(*fields), *again, error) && *again == *fields);
        if (fields->size() == 4) {
            if (const auto ip = store::Ipv4Fields::parse((*fields)[0]))
                fuzz::require(store::Ipv4Fields::parse(ip->toString()) == ip);
            store::readNumber((*fields)[1]);
        }
    }
    return 0;
}
