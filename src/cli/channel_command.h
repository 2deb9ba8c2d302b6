#pragma once
// kbcfg channel list|set-index|renumber|delete|report: the channel page.

#include "cli/command_group.h"

namespace kbcfg::cli {

class ChannelCommand : public CommandGroup {
  public:
    ChannelCommand();
};

}  // namespace kbcfg::cli
