#include "cli/Completion.h"

#include <ostream>

#include "cli/commands/Commands.h"

namespace lkmdb {

void AddCompletion(CLI::App& app, Commands& commands) {
    auto shell = std::make_shared<std::string>();
    CLI::App* sub = commands.Add(app, "completion",
                                 "Print the completion script of lkmdb for bash, zsh or fish");
    // Hidden: the build installs the scripts; people seldom run this themselves.
    sub->group("");
    sub->add_option("SHELL", *shell, "bash, zsh or fish")
        ->required()
        ->check(CLI::IsMember(CompletionShells()));
    commands.Bind(sub, [shell, &app, &ctx = commands.Ctx()] {
        ctx.out << CompletionScript(app, *shell);
        return kExitOk;
    });
}

}  // namespace lkmdb
