#include "cli/commands/Commands.h"

namespace lkmdb {

CLI::App* Commands::Add(CLI::App& app, const std::string& name, const std::string& description) {
    CLI::App* sub = app.add_subcommand(name, description);
    sub->fallthrough();
    return sub;
}

const std::function<int()>* Commands::Find(const CLI::App* sub) const {
    const auto it = actions_.find(sub);
    return it == actions_.end() ? nullptr : &it->second;
}

}  // namespace lkmdb
