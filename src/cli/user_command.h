#pragma once
// kbcfg user list|add|delete|passwd|devices|assign|unassign|stream: the users page and the
// user's device management.

#include "cli/command_group.h"

namespace kbcfg::cli {

class UserCommand : public CommandGroup {
  public:
    UserCommand();
};

}  // namespace kbcfg::cli
