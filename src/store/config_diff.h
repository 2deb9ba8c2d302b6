#pragma once
// What differs between two images, by meaning: records added, removed or changed field by field,
// labelled the way the pages show them, and a count of differing bytes nobody names per region.
// Driven by the same field tables as the text form.

#include <cstddef>
#include <string>
#include <vector>

#include "store/config_image.h"

namespace kbcfg::store::textform {

struct Difference {
    std::string region;  // the text form's name of the region ("devices", "channels", ...)
    int op = 0;          // 1..3 for a per-operator table, else 0
    int key = 0;         // the record's number in its table
    std::string where;   // "device 12 (10.0.0.5)"
    std::string change;  // "added", "removed", "renamed", "password", or the field ("port")
    std::string before;  // empty for a password
    std::string after;
};

struct UnknownBytes {
    std::string region;
    std::size_t count = 0;
};

struct DiffResult {
    std::vector<Difference> differences;  // in image order: region, operator, record, field
    std::vector<UnknownBytes> unknown;    // in image order
    bool equal() const { return differences.empty() && unknown.empty(); }
};

// Compares everything after the header (files of older layouts are converted images, so their
// header says nothing of the configuration).
DiffResult diffImages(const ConfigImage& a, const ConfigImage& b);

// One line of the diff: "device 12 (10.0.0.5): port 8000 -> 8001".
std::string formatDifference(const Difference& d);
// Every line of a diff: the differences, then the unknown bytes per region.
std::vector<std::string> formatDiff(const DiffResult& diff);

}  // namespace kbcfg::store::textform
