#include "cli/command_group.h"

#include <CLI/CLI.hpp>

namespace kbcfg::cli {

void CommandGroup::setup(CLI::App& app) {
    app_ = &app;
    if (withLogin_) login.declare(app);
    app.require_subcommand(1, 1);
    for (const auto& child : children_) {
        CLI::App* sub = app.add_subcommand(child->name(), child->description());
        child->setup(*sub);
        bySubcommand_[sub] = child.get();
    }
}

int CommandGroup::run(Context& ctx) {
    const auto chosen = app_->get_subcommands();
    if (chosen.empty()) return kExitUsage;
    return bySubcommand_.at(chosen.front())->run(ctx);
}

}  // namespace kbcfg::cli
