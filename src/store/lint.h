#pragma once
// Consistency check of a decoded image: references that point at nothing, numbers a keyboard
// would read twice, leftovers that the pages hide. It reads the image only; fixing is left to
// the person, since the right repair depends on what the file was meant to hold.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/config_image.h"

namespace kbcfg::store {

enum class LintSeverity { Error, Warning };

// Where a finding sits, in the order findings are reported.
enum class LintTable {
    Devices,       // index = device slot
    Operators,     // index = operator record
    DeviceList,    // index = UserDeviceList entry
    Streams,       // index = StreamRecord
    Channels,      // index = channel position
    InputGroups,   // index = row, cell = slot in the row
    OutputGroups,  // index = row, cell = slot in the row
    Matrix,        // index = MatrixRecord
};

struct LintFinding {
    LintSeverity severity;
    const char* code;  // stable name of the kind of finding, e.g. "duplicate-index"
    LintTable table;
    int op;       // operator 1..3; 0 for the device table
    int index;    // record within the table, see LintTable
    int cell;     // slot within a group row, else -1
    int related;  // the earlier record (same unit as index) it clashes with, else -1
    std::optional<std::int64_t> value;  // the stored value found wrong, when it is a number
    std::string text;                   // what is wrong, for people
};

// Every finding: the device table first, then operator by operator, each by table, record and
// cell.
std::vector<LintFinding> lintImage(const ConfigImage& image);

// "operator 2, channel position 17" and the like.
std::string lintLocation(const LintFinding& finding);

}  // namespace kbcfg::store
