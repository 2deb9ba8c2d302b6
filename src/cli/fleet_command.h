#pragma once
// kbcfg fleet export|import|upgrade: one keyboard job run on every keyboard of an inventory, a
// number of keyboards at a time.

#include "cli/command_group.h"

namespace kbcfg::cli {

class FleetCommand : public CommandGroup {
  public:
    FleetCommand();
};

}  // namespace kbcfg::cli
