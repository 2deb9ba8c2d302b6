#pragma once
// kbcfg device list|add|add-range|modify|delete|import-csv: the device page and its dialogs, for
// the administrator.

#include "cli/command_group.h"

namespace kbcfg::cli {

class DeviceCommand : public CommandGroup {
  public:
    DeviceCommand();
};

}  // namespace kbcfg::cli
