#pragma once
// This process and others: for naming who holds a lock and for telling a leftover of a dead
// process from a file that is still being written.

#include <string>

namespace kbcfg::platform {

// This process's id.
long processId();
// Whether a process of that id exists (one of another user's counts).
bool processAlive(long pid);
// Whether the process exists and, where the system tells, runs the program named (as a lock file
// names it: programName() of the holder).
bool processRuns(long pid, const std::string& program);
// The short name of this program ("kbcfg", "kbcfg-gui"), as it appears in a lock file.
std::string programName();

}  // namespace kbcfg::platform
