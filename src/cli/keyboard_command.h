#pragma once
// kbcfg keyboard export|import|upgrade: the remote configuration dialog, the keyboard maintenance
// page and the upgrade dialog.

#include "cli/command_group.h"

namespace kbcfg::cli {

class KeyboardCommand : public CommandGroup {
  public:
    KeyboardCommand();
};

}  // namespace kbcfg::cli
