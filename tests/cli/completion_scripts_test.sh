#!/usr/bin/env bash
# The completion scripts that the build generated: each shell reads its own without a syntax
# error (zsh and fish when installed), and the bash one completes real command lines.
# Usage: completion_scripts_test.sh FOLDER (holding lkmdb.bash, lkmdb.zsh, lkmdb.fish)
set -uo pipefail
dir=$(cd "$1" && pwd)
failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}

bash -n "$dir/lkmdb.bash" || fail "bash -n refuses lkmdb.bash"
if command -v zsh >/dev/null; then
    zsh -n "$dir/lkmdb.zsh" || fail "zsh -n refuses lkmdb.zsh"
else
    echo "zsh not installed: lkmdb.zsh not checked"
fi
if command -v fish >/dev/null; then
    fish --no-execute "$dir/lkmdb.fish" || fail "fish --no-execute refuses lkmdb.fish"
    # Each `complete` line is checked only when it runs.
    complaints=$(fish --no-config -c "source '$dir/lkmdb.fish'" 2>&1)
    [[ -z "$complaints" ]] || fail "fish, loading lkmdb.fish: $complaints"
else
    echo "fish not installed: lkmdb.fish not checked"
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
files=$scratch/files
mkdir -p "$files/vault" "$files/other"
touch "$files/vault.csv" "$files/oval.csv"

# What each shell's completion offers for the words given, the last being the one completed:
# sorted, one space after each, folders without a trailing slash.
# shellcheck disable=SC2317 # called as "${shell}_offers"
bash_offers() {
    # shellcheck source=/dev/null
    source "$dir/lkmdb.bash"
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _lkmdb 2>"$scratch/stderr"
    if ((${#COMPREPLY[@]})); then
        printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
    fi
    [[ ! -s "$scratch/stderr" ]] || echo "(error: $(cat "$scratch/stderr"))"
}
# shellcheck disable=SC2317
fish_offers() {
    local line="$*"
    (cd "$files" && fish --no-config -c "source '$dir/lkmdb.fish'; complete -C '$line'") |
        cut -f1 | sed 's|/$||' | sort | tr '\n' ' '
}
shells=(bash)
command -v fish >/dev/null && shells+=(fish)
expect() {
    local want=$1 shell got
    shift
    for shell in "${shells[@]}"; do
        got=$("${shell}_offers" "$@")
        [[ "$got" == "$want" ]] || fail "$shell, ${*}: offered '$got', not '$want'"
    done
}

expect 'import ' lkmdb im
expect 'info init ' lkmdb in
expect 'add ' lkmdb type a                                 # a level further down
expect 'recover restore rm ' lkmdb --password-file type r  # the option's value is no command
expect 'csv json ' lkmdb export x --format ''
expect '--field --field-stdin ' lkmdb add x --fiel
expect '--password-file --password-stdin ' lkmdb ls --passw # the program's options too
expect "$files/vault $files/vault.csv " lkmdb ls "$files/va"
expect "$files/other $files/vault " lkmdb backup x --to "$files/" # FOLDER: folders alone
expect "$files/other $files/vault " lkmdb recover x "$files/"
expect "$files/vault.csv " lkmdb --password-file "$files/vault." # FILE
expect '' lkmdb search x ''                                 # TEXT: nothing to offer
expect '' lkmdb generate ''                                 # no argument at all
expect '' lkmdb compl                                       # hidden

# zsh completes only in its line editor: a zsh on a pseudo-terminal gets each line and a TAB, and
# its answer must show the completion. A read that never sees it ends at the time-out.
if command -v zsh >/dev/null; then
    mkdir "$scratch/fpath"
    cp "$dir/lkmdb.zsh" "$scratch/fpath/_lkmdb"
    cat >"$scratch/zsh-test" <<'ZSH'
zmodload zsh/zpty
case=$1/zsh-case
zpty z 'zsh -f -i'
zpty -w z "PS1='%% '; fpath=($1/fpath \$fpath); autoload -Uz compinit; compinit -u -D"
zpty -w z "zstyle ':completion:*' menu no; lkmdb() { :; }; cd $1/files"
# Types the line $1 and a TAB; returns once the terminal shows the pattern $2.
expect() {
    local out
    print -r -- "'$1' shows no '$2'" >$case
    zpty -w -n z $'\C-u'"$1"$'\t'
    zpty -r z out "*${~2}*" || exit 1
}
expect 'lkmdb im' 'lkmdb import'
expect 'lkmdb type a' 'lkmdb type add'
expect 'lkmdb ls --passwo' 'lkmdb ls --password-'
expect 'lkmdb export x --format ' 'csv *json'
expect 'lkmdb ls vault.' 'lkmdb ls vault.csv'
expect 'lkmdb recover x o' 'lkmdb recover x other' # a folder, though oval.csv begins so too
zpty -d z
ZSH
    timeout 60 zsh -f "$scratch/zsh-test" "$scratch" || fail "zsh: $(cat "$scratch/zsh-case")"
fi
exit $failed
