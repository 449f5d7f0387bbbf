#!/usr/bin/env python3
"""Doxygen input filter: lets the headers' plain comments document what follows them.

The headers state their contracts in ordinary // comments, which Doxygen skips. This filter hands
Doxygen each header with those comments marked as documentation, keeping every line in place (so
line numbers in warnings are the header's own):
  - the comment block that opens the file documents the file;
  - a comment on lines of its own documents the declaration after it;
  - a comment after code on the same line documents that code (a member, an enumerator);
  - section rules ("// --- members ---") and lint directives (NOLINT) stay plain comments;
  - "// @{" and "// @}" bound a run of members that share one meaning: the comment of the first
    documents every member in it that has no comment of its own.
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
    group = None  # in a member group: its indent and its comment's text
    in_comment = []  # the comment block just read, as text lines
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
            if text.strip() == "@{":
                group = {"indent": indent, "doc": None}
                out.append("\n")
                continue
            if text.strip() == "@}":
                group = None
                out.append("\n")
                continue
            in_comment.append(text.strip())
            out.append(f"{indent}///{text}")
            continue
        if stripped:
            at_top = False
        comment, in_comment = in_comment, []
        match = TRAILING.match(line.rstrip("\n"))
        documented = comment or (match and not match["text"].startswith("NOLINT"))
        if group is not None and stripped:
            if group["doc"] is None:
                group["doc"] = " ".join(comment)
            elif not documented and indent == group["indent"] and not stripped.startswith("}"):
                # A member of the group without a comment of its own takes the group's, on its
                # own line so that line numbers stay.
                line = f"{indent}/** {group['doc']} */ {stripped}"
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
