#include "cli/Completion.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace lkmdb {
namespace {

enum class ValueKind { kNone, kText, kFile, kFolder, kChoice };

struct Value {
    ValueKind kind = ValueKind::kNone;
    std::vector<std::string> choices;  // kChoice
};

struct OptionInfo {
    std::vector<std::string> names;  // "-o", "--output"
    std::string description;
    Value value;
    bool repeatable = false;
};

struct PositionalInfo {
    std::string name;
    Value value;
    bool repeatable = false;
};

struct CommandInfo {
    std::string path;  // "" for the program itself, "type add" for a nested command
    std::vector<std::pair<std::string, std::string>> subcommands;  // name, description
    std::vector<OptionInfo> options;
    std::vector<PositionalInfo> positionals;
};

// Descriptions on one line, without the runs of spaces that wrapped help text leaves.
std::string OneLine(const std::string& text) {
    std::string line;
    for (const char c : text) {
        const bool space = c == ' ' || c == '\n' || c == '\t' || c == '\r';
        if (!space) {
            line += c;
        } else if (!line.empty() && line.back() != ' ') {
            line += ' ';
        }
    }
    while (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    return line;
}

ValueKind KindOfName(const std::string& name) {
    if (name == "PATH" || name == "FILE") {
        return ValueKind::kFile;
    }
    if (name == "FOLDER") {
        return ValueKind::kFolder;
    }
    return ValueKind::kText;
}

// What an option or positional takes, from its type name ("TEXT", "FILE", "TEXT:{csv,json}"
// when an IsMember check adds its words) and, for a positional, its own name.
Value ValueOf(const CLI::Option& option) {
    Value value;
    if (option.get_items_expected_max() == 0) {
        return value;  // a flag
    }
    std::vector<std::string> parts;
    std::istringstream type(option.get_type_name());
    for (std::string part; std::getline(type, part, ':');) {
        parts.push_back(part);
    }
    for (const std::string& part : parts) {
        if (part.size() >= 2 && part.front() == '{' && part.back() == '}') {
            std::istringstream words(part.substr(1, part.size() - 2));
            for (std::string word; std::getline(words, word, ',');) {
                value.choices.push_back(word);
            }
            value.kind = ValueKind::kChoice;
            return value;
        }
    }
    value.kind = KindOfName(parts.empty() ? std::string() : parts.front());
    if (value.kind == ValueKind::kText && option.get_positional()) {
        value.kind = KindOfName(option.get_name(true));
    }
    return value;
}

bool Hidden(const CLI::App& app) {
    return app.get_group().empty();
}

void AddOptions(const CLI::App& app, std::vector<OptionInfo>& options) {
    for (const CLI::Option* option : app.get_options()) {
        if (!option->nonpositional() || option->get_group().empty()) {
            continue;
        }
        OptionInfo info;
        for (const std::string& name : option->get_snames()) {
            info.names.push_back("-" + name);
        }
        for (const std::string& name : option->get_lnames()) {
            info.names.push_back("--" + name);
        }
        const bool known = std::any_of(options.begin(), options.end(),
                                       [&](const OptionInfo& o) { return o.names == info.names; });
        if (known) {
            continue;  // -h,--help of each level
        }
        info.description = OneLine(option->get_description());
        info.value = ValueOf(*option);
        info.repeatable = option->get_items_expected_max() > 1;
        options.push_back(std::move(info));
    }
}

// The commands in tree order, the program first.
void Collect(const CLI::App& app, const std::string& path, std::vector<CommandInfo>& commands) {
    CommandInfo info;
    info.path = path;
    // A command's own options come first; those of the levels above follow where the command
    // lets them through.
    for (const CLI::App* level = &app; level != nullptr; level = level->get_parent()) {
        AddOptions(*level, info.options);
        if (!level->get_fallthrough()) {
            break;
        }
    }
    for (const CLI::Option* option : app.get_options()) {
        if (!option->get_positional() || option->nonpositional()) {
            continue;
        }
        info.positionals.push_back(
            {option->get_name(true), ValueOf(*option), option->get_items_expected_max() > 1});
    }
    std::vector<const CLI::App*> subs = app.get_subcommands(
        [](const CLI::App* sub) { return !sub->get_name().empty() && !Hidden(*sub); });
    for (const CLI::App* sub : subs) {
        info.subcommands.emplace_back(sub->get_name(), OneLine(sub->get_description()));
    }
    commands.push_back(std::move(info));
    for (const CLI::App* sub : subs) {
        Collect(*sub, path.empty() ? sub->get_name() : path + " " + sub->get_name(), commands);
    }
}

// Text inside single quotes for sh and zsh: a quote ends the string, is escaped, and reopens it.
std::string ShQuoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// Text inside single quotes for fish, where backslash and quote are escaped.
std::string FishQuoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\\' || c == '\'') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "'";
}

template <typename T, typename F>
std::string Joined(const std::vector<T>& items, F text, const std::string& separator = " ") {
    std::string joined;
    for (const T& item : items) {
        joined += (joined.empty() ? "" : separator) + text(item);
    }
    return joined;
}

std::string KindWord(const Value& value) {
    switch (value.kind) {
        case ValueKind::kNone:
            return "none";
        case ValueKind::kFile:
            return "file";
        case ValueKind::kFolder:
            return "folder";
        case ValueKind::kChoice:
            return "choice:" + Joined(
                                   value.choices, [](const std::string& s) { return s; }, ",");
        case ValueKind::kText:
            break;
    }
    return "text";
}

// --- bash ---

constexpr const char* kBashMain = R"(
# Sets `kind` to what option $1 of the current command takes (none when it takes nothing).
_lkmdb_option_kind() {
    local v list
    read -ra list <<<"$values"
    kind=none
    for v in "${list[@]}"; do
        if [[ ${v%%=*} == "$1" ]]; then
            kind=${v#*=}
        fi
    done
}

# Offers what a value of that kind can be.
_lkmdb_offer() {
    case $1 in
        file)
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -- "$cur") ;;
        folder)
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -d -- "$cur") ;;
        choice:*)
            local words=${1#choice:}
            mapfile -t COMPREPLY < <(compgen -W "${words//,/ }" -- "$cur") ;;
    esac
}

_lkmdb() {
    local cur=${COMP_WORDS[COMP_CWORD]} cmd='' word kind=none subs opts args values i n=0
    COMPREPLY=()
    _lkmdb_command ''
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if [[ $kind != none ]]; then
            kind=none  # the value of the option before
        elif [[ $word == -* ]]; then
            [[ $word == *=* ]] || _lkmdb_option_kind "$word"
        elif [[ " $subs " == *" $word "* ]]; then
            cmd=${cmd:+$cmd }$word
            n=0
            _lkmdb_command "$cmd"
        else
            ((n++))
        fi
    done
    if [[ $kind != none ]]; then
        _lkmdb_offer "$kind"
    elif [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$opts" -- "$cur")
    elif [[ -n $subs ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$subs" -- "$cur")
    else
        local kinds
        read -ra kinds <<<"$args"
        if ((n < ${#kinds[@]})); then
            _lkmdb_offer "${kinds[n]}"
        elif ((${#kinds[@]})) && [[ ${kinds[-1]} == *'...' ]]; then
            _lkmdb_offer "${kinds[-1]%...}"
        fi
    fi
}

complete -F _lkmdb lkmdb
)";

std::string BashScript(const std::vector<CommandInfo>& commands) {
    std::ostringstream s;
    s << "# bash completion for lkmdb, generated by `lkmdb completion bash` from its command\n"
         "# definitions.\n\n"
         "# Sets, for the command $1 ('' for lkmdb itself): subs, its subcommands; opts, its\n"
         "# options; values, option=kind for those that take a value; args, the kinds of its\n"
         "# positional arguments in order (... when the last repeats).\n"
         "_lkmdb_command() {\n"
         "    case $1 in\n";
    for (const CommandInfo& c : commands) {
        std::vector<std::string> names;
        std::vector<std::string> values;
        for (const OptionInfo& o : c.options) {
            for (const std::string& name : o.names) {
                names.push_back(name);
                if (o.value.kind != ValueKind::kNone) {
                    values.push_back(name + "=" + KindWord(o.value));
                }
            }
        }
        const auto same = [](const std::string& text) { return text; };
        s << "        " << ShQuoted(c.path) << ")\n"
          << "            subs="
          << ShQuoted(Joined(c.subcommands, [](const auto& p) { return p.first; })) << "\n"
          << "            opts=" << ShQuoted(Joined(names, same)) << "\n"
          << "            values=" << ShQuoted(Joined(values, same)) << "\n"
          << "            args="
          << ShQuoted(Joined(c.positionals,
                             [](const PositionalInfo& p) {
                                 return KindWord(p.value) + (p.repeatable ? "..." : "");
                             }))
          << " ;;\n";
    }
    s << "        *) subs='' opts='' values='' args='' ;;\n"
         "    esac\n"
         "}\n"
      << kBashMain;
    return s.str();
}

// --- zsh ---

// A description inside _arguments' brackets.
std::string ZshBracketed(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        if (c == '[' || c == ']' || c == '\\') {
            escaped += '\\';
        }
        escaped += c;
    }
    return escaped;
}

// A message or word between _arguments' colons.
std::string ZshField(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        if (c == ':' || c == '\\') {
            escaped += '\\';
        }
        escaped += c;
    }
    return escaped;
}

std::string ZshAction(const Value& value) {
    switch (value.kind) {
        case ValueKind::kFile:
            return "_files";
        case ValueKind::kFolder:
            return "_files -/";
        case ValueKind::kChoice:
            return "(" + Joined(value.choices, ZshField) + ")";
        case ValueKind::kNone:
        case ValueKind::kText:
            break;
    }
    return " ";  // a message only
}

std::string ZshFunction(const std::string& path) {
    std::string name = "_lkmdb_command";
    if (!path.empty()) {
        name += "_" + path;
        std::replace(name.begin(), name.end(), ' ', '_');
    }
    return name;
}

std::string ZshMessage(const Value& value) {
    switch (value.kind) {
        case ValueKind::kFile:
            return "file";
        case ValueKind::kFolder:
            return "folder";
        case ValueKind::kNone:
        case ValueKind::kText:
        case ValueKind::kChoice:
            break;
    }
    return "value";
}

std::string ZshOptionArgument(const OptionInfo& o) {
    std::string names;
    if (o.names.size() > 1) {
        names = ShQuoted((o.repeatable ? "*" : "(" + Joined(o.names, ZshField) + ")")) + "{" +
                Joined(
                    o.names, [](const std::string& n) { return n; }, ",") +
                "}";
    } else {
        names = ShQuoted((o.repeatable ? "*" : "") + o.names.front());
    }
    std::string rest = "[" + ZshBracketed(o.description) + "]";
    if (o.value.kind != ValueKind::kNone) {
        rest += ":" + ZshMessage(o.value) + ":" + ZshAction(o.value);
    }
    return names + ShQuoted(rest);
}

std::string ZshScript(const std::vector<CommandInfo>& commands) {
    std::ostringstream s;
    s << "#compdef lkmdb\n"
         "# zsh completion for lkmdb, generated by `lkmdb completion zsh` from its command\n"
         "# definitions.\n";
    for (const CommandInfo& c : commands) {
        s << "\n" << ZshFunction(c.path) << "() {\n";
        if (!c.subcommands.empty()) {
            s << "    local curcontext=$curcontext state line\n"
                 "    _arguments -C -s";
        } else {
            s << "    _arguments -s";
        }
        for (const OptionInfo& o : c.options) {
            s << " \\\n        " << ZshOptionArgument(o);
        }
        if (!c.subcommands.empty()) {
            s << " \\\n        '1:command:->command' \\\n        '*::argument:->argument'\n";
            s << "    case $state in\n"
                 "        command)\n"
                 "            local -a commands=(\n";
            for (const auto& [name, description] : c.subcommands) {
                s << "                " << ShQuoted(ZshField(name) + ":" + description) << "\n";
            }
            s << "            )\n"
                 "            _describe -t commands 'lkmdb command' commands ;;\n"
                 "        argument)\n"
                 "            curcontext=${curcontext%:*:*}:lkmdb-$words[1]:\n"
                 "            case $words[1] in\n";
            for (const auto& sub : c.subcommands) {
                const std::string path = c.path.empty() ? sub.first : c.path + " " + sub.first;
                s << "                " << ShQuoted(sub.first) << ") " << ZshFunction(path)
                  << " ;;\n";
            }
            s << "            esac ;;\n"
                 "    esac\n";
        } else {
            int position = 1;
            for (const PositionalInfo& p : c.positionals) {
                const std::string where = p.repeatable ? "*" : std::to_string(position++);
                s << " \\\n        "
                  << ShQuoted(where + ":" + ZshField(p.name) + ":" + ZshAction(p.value));
            }
            s << "\n";
        }
        s << "}\n";
    }
    s << "\n"
         "if [[ $funcstack[1] == _lkmdb ]]; then\n"
         "    _lkmdb_command \"$@\"\n"
         "else\n"
         "    compdef _lkmdb_command lkmdb\n"
         "fi\n";
    return s.str();
}

// --- fish ---

constexpr const char* kFishMain = R"(
# The words before the cursor: the command they name ('' for lkmdb itself, 'type add', ...), how
# many positional arguments of it they hold, and 1 when the word at the cursor is the value of
# the option before it (else 0); one a line.
function __lkmdb_command
    set -l command ''
    set -l count 0
    set -l skip 0
    set -l words (commandline -opc)
    for word in $words[2..-1]
        if test $skip = 1
            set skip 0
        else if string match -q -- '-*' $word
            if not string match -q -- '*=*' $word; and contains -- $word (__lkmdb_valued "$command")
                set skip 1
            end
        else if contains -- $word (__lkmdb_subcommands "$command")
            set command (string trim -- "$command $word")
            set count 0
        else
            set count (math $count + 1)
        end
    end
    printf '%s\n' $command $count $skip
end

# Whether the words before the cursor name the command $argv[1].
function __lkmdb_is
    set -l at (__lkmdb_command)
    test "$at[1]" = "$argv[1]"
end

# Whether the word at the cursor is an argument of the command $argv[1] (a subcommand or a
# positional argument), not an option's value; with $argv[2], its positional argument of that
# number (N+: that one or a later one).
function __lkmdb_argument
    set -l at (__lkmdb_command)
    test "$at[1]" = "$argv[1]" -a "$at[3]" = 0; or return 1
    set -q argv[2]; or return 0
    set -l position (math $at[2] + 1)
    if string match -q -- '*+' $argv[2]
        test $position -ge (string trim -r -c + -- $argv[2])
    else
        test $position -eq $argv[2]
    end
end

complete -c lkmdb -f
)";

std::string FishScript(const std::vector<CommandInfo>& commands) {
    std::ostringstream s;
    s << "# fish completion for lkmdb, generated by `lkmdb completion fish` from its command\n"
         "# definitions.\n\n"
         "# The subcommands of the command $argv[1] ('' for lkmdb itself), one a line.\n"
         "function __lkmdb_subcommands\n"
         "    switch \"$argv[1]\"\n";
    for (const CommandInfo& c : commands) {
        if (!c.subcommands.empty()) {
            s << "        case " << FishQuoted(c.path) << "\n            printf '%s\\n' "
              << Joined(c.subcommands, [](const auto& p) { return FishQuoted(p.first); }) << "\n";
        }
    }
    s << "    end\n"
         "end\n\n"
         "# The options of the command $argv[1] that take a value, one a line.\n"
         "function __lkmdb_valued\n"
         "    switch \"$argv[1]\"\n";
    for (const CommandInfo& c : commands) {
        std::vector<std::string> valued;
        for (const OptionInfo& o : c.options) {
            if (o.value.kind != ValueKind::kNone) {
                valued.insert(valued.end(), o.names.begin(), o.names.end());
            }
        }
        if (!valued.empty()) {
            s << "        case " << FishQuoted(c.path) << "\n            printf '%s\\n' "
              << Joined(valued, FishQuoted) << "\n";
        }
    }
    s << "    end\n"
         "end\n"
      << kFishMain;
    for (const CommandInfo& c : commands) {
        const std::string head =
            "complete -c lkmdb -n " + FishQuoted("__lkmdb_is " + FishQuoted(c.path));
        const std::string argument =
            "complete -c lkmdb -n " + FishQuoted("__lkmdb_argument " + FishQuoted(c.path));
        s << "\n";
        for (const auto& [name, description] : c.subcommands) {
            s << argument << " -a " << FishQuoted(name) << " -d " << FishQuoted(description)
              << "\n";
        }
        for (const OptionInfo& o : c.options) {
            s << head;
            for (const std::string& name : o.names) {
                s << (name.rfind("--", 0) == 0 ? " -l " + FishQuoted(name.substr(2))
                                               : " -s " + FishQuoted(name.substr(1)));
            }
            switch (o.value.kind) {
                case ValueKind::kNone:
                    break;
                case ValueKind::kFile:
                    s << " -r -F";
                    break;
                // -x: a value, and no file names unless offered.
                case ValueKind::kFolder:
                    s << " -x -a '(__fish_complete_directories)'";
                    break;
                case ValueKind::kChoice:
                    s << " -x -a " << FishQuoted(Joined(o.value.choices, FishQuoted));
                    break;
                case ValueKind::kText:
                    s << " -x";
                    break;
            }
            s << " -d " << FishQuoted(o.description) << "\n";
        }
        for (std::size_t i = 0; i < c.positionals.size(); ++i) {
            const PositionalInfo& p = c.positionals[i];
            const std::string position = std::to_string(i + 1) + (p.repeatable ? "+" : "");
            const std::string at =
                "complete -c lkmdb -n " +
                FishQuoted("__lkmdb_argument " + FishQuoted(c.path) + " " + position);
            if (p.value.kind == ValueKind::kFile) {
                s << at << " -F\n";
            } else if (p.value.kind == ValueKind::kFolder) {
                s << at << " -a '(__fish_complete_directories)'\n";
            } else if (p.value.kind == ValueKind::kChoice) {
                s << at << " -a " << FishQuoted(Joined(p.value.choices, FishQuoted)) << "\n";
            }
        }
    }
    return s.str();
}

}  // namespace

const std::vector<std::string>& CompletionShells() {
    static const std::vector<std::string> shells{"bash", "zsh", "fish"};
    return shells;
}

std::string CompletionScript(const CLI::App& app, const std::string& shell) {
    std::vector<CommandInfo> commands;
    Collect(app, "", commands);
    if (shell == "bash") {
        return BashScript(commands);
    }
    if (shell == "zsh") {
        return ZshScript(commands);
    }
    if (shell == "fish") {
        return FishScript(commands);
    }
    throw std::invalid_argument("no completion for the shell '" + shell + "'");
}

}  // namespace lkmdb
