// Field texts that must not appear among a command's arguments (visible to other users and kept
// in shell history): read from standard input or typed at a prompt without echo.
#pragma once

#include <CLI/CLI.hpp>
#include <map>
#include <string>
#include <vector>

#include "cli/Context.h"

namespace lkmdb {

// Declares --field-stdin N and --ask-field N (each may be repeated) on a command.
void AddSecretFieldOptions(CLI::App& command, std::vector<int>& fromStdin, std::vector<int>& ask);

// The fields to read (numbered from 1): those of `fromStdin` one line each from ctx.in, in the
// order given (after a password read from there), then those of `ask` at the terminal. Returns
// UTF-8 texts by field number. Throws CliError (2) for a number outside 1-10, a field named twice,
// a missing line, or no terminal to ask on.
std::map<int, std::string> ReadSecretFields(Context& ctx, const std::vector<int>& fromStdin,
                                            const std::vector<int>& ask);

}  // namespace lkmdb
