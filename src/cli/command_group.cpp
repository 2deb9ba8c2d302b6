#include "cli/command_group.h"

#include <CLI/CLI.hpp>

namespace kbcfg::cli {

void CommandGroup::setup(CLI::App& app) {
    app_ = &app;
    app.require_subcommand(1, 1);
    // The login options go on the group and on each subcommand, so that they may come before or
    // after the subcommand's name and each subcommand's help lists them.
    if (withLogin_) login_.declare(app);
    for (const auto& child : children_) {
        CLI::App* sub = app.add_subcommand(child->name(), child->description());
        child->setup(*sub);
        if (withLogin_) login_.declare(*sub);
        bySubcommand_[sub] = child.get();
    }
}

int CommandGroup::run(Context& ctx) {
    const auto chosen = app_->get_subcommands();
    if (chosen.empty()) return kExitUsage;
    return bySubcommand_.at(chosen.front())->run(ctx);
}

}  // namespace kbcfg::cli
