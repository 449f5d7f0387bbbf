#include "cli/SecretFields.h"

#include <istream>

#include "cli/CliError.h"
#include "lkmdb7/items/PackedFormat.h"

namespace lkmdb {

void AddSecretFieldOptions(CLI::App& command, std::vector<int>& fromStdin, std::vector<int>& ask) {
    command
        .add_option("--field-stdin", fromStdin,
                    "read field N from a line of standard input (for secrets)")
        ->allow_extra_args(false);
    command
        .add_option("--ask-field", ask,
                    "ask for field N on the terminal without echo (for secrets)")
        ->allow_extra_args(false);
}

std::map<int, std::string> ReadSecretFields(Context& ctx, const std::vector<int>& fromStdin,
                                            const std::vector<int>& ask) {
    std::map<int, std::string> texts;
    const auto claim = [&](int field, const char* option) {
        if (field < 1 || field > LKMDB7::kFieldCount) {
            throw CliError(kExitFailure, std::string(option) + ": " + std::to_string(field) +
                                             " is not a field number from 1 to 10");
        }
        if (texts.count(field) != 0) {
            throw CliError(kExitFailure, std::string(option) + ": field " + std::to_string(field) +
                                             " is given twice");
        }
    };
    for (const int field : fromStdin) {
        claim(field, "--field-stdin");
        std::string line;
        if (!std::getline(ctx.in, line)) {
            throw CliError(kExitFailure, "--field-stdin: no line on standard input for field " +
                                             std::to_string(field));
        }
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        texts[field] = line;
    }
    for (const int field : ask) {
        claim(field, "--ask-field");
        const std::optional<std::string> typed =
            ctx.env.askPassword ? ctx.env.askPassword("Field " + std::to_string(field) + ": ")
                                : std::nullopt;
        if (!typed) {
            throw CliError(kExitFailure, "--ask-field: there is no terminal to ask for field " +
                                             std::to_string(field) + " on");
        }
        texts[field] = *typed;
    }
    return texts;
}

}  // namespace lkmdb
