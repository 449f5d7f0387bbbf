// Shell completion scripts for lkmdb, generated from its command definitions (the CLI11 tree that
// RunLkmdb builds), so that they list exactly the commands and options that the parser takes.
#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

namespace lkmdb {

// The shells that CompletionScript writes for: "bash", "zsh", "fish".
const std::vector<std::string>& CompletionShells();

// The completion script for `shell` (one of CompletionShells()) of the program that `app`
// defines: its subcommands at every level (hidden ones left out, as the help leaves them out),
// each one's options with those it inherits, and what each option or positional argument takes.
// A value is completed as a file when the argument is named, or its type is, PATH or FILE; as a
// folder for FOLDER; as one of the words of an IsMember check; else not at all. Throws
// std::invalid_argument for another shell.
std::string CompletionScript(const CLI::App& app, const std::string& shell);

}  // namespace lkmdb
