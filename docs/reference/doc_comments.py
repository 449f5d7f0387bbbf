#!/usr/bin/env python3
"""Doxygen input filter: lets the headers' plain comments document what follows them.

The headers state their contracts in ordinary // comments, which Doxygen skips. This filter hands
Doxygen each header with those comments marked as documentation, keeping every line in place (so
line numbers in warnings are the header's own):
  - the comment block that opens the file documents the file;
  - a comment on lines of its own documents the declaration after it;
  - a comment after code on the same line documents that code (a member, an enumerator);
  - section rules ("// --- members ---") and lint directives (NOLINT) stay plain comments;
  - "// @{" and "// @}" bound a member group, whose comment block (starting "@name") is the one
    above "// @{" and documents every member in the group (DISTRIBUTE_GROUP_DOC).
"""
import re
import sys

TRAILING = re.compile(r'^(?P<code>[^"/]*\S)(?P<gap>\s+)// (?P<text>.*)$')


def is_comment(line):
    stripped = line.lstrip()
    return stripped.startswith("//") and not stripped.startswith("///")


def convert(lines):
    out = []
    at_top = True
    for number, line in enumerate(lines):
        stripped = line.lstrip()
        indent = line[: len(line) - len(stripped)]
        if is_comment(line):
            text = stripped[2:]
            if at_top:
                # The opening block is the file's description. "@file" goes at the end of its
                # last line, where the rest of the line (none) would be taken as a file name.
                last = number + 1 == len(lines) or not is_comment(lines[number + 1])
                end = " @file\n" if last else "\n"
                out.append(f"{indent}///{text.rstrip()}{end}")
                continue
            if text.lstrip().startswith(("---", "NOLINT")):
                out.append(line)
                continue
            if text.strip() in ("@{", "@}"):
                # A member group's bounds: the plain markers, apart from the group's own comment
                # block (@name and its text) above the opening one.
                out.append(f"{indent}//{text.strip()}\n")
                continue
            out.append(f"{indent}///{text}")
            continue
        if stripped:
            at_top = False
        match = TRAILING.match(line.rstrip("\n"))
        if match and not match["text"].startswith("NOLINT"):
            out.append(f"{match['code']}{match['gap']}///< {match['text']}\n")
            continue
        out.append(line)
    return out


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        lines = f.readlines()
    sys.stdout.write("".join(convert(lines)))


if __name__ == "__main__":
    main()
