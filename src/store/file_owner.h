#pragma once
// Names of the files this tool keeps beside a configuration file (lock files, backups). Who owns a
// file and who may change it is the platform layer's (platform/access.h).

#include <string>
#include <string_view>

namespace kbcfg::store {

// A file name within the file system's limit: `prefix + name + suffix` when that fits, else a cut
// of the name with a short hash of the whole, so that one name always maps to the same result and
// different names (almost surely) to different ones.
std::string nameWithin(std::string_view prefix, std::string_view name, std::string_view suffix);

}  // namespace kbcfg::store
