#!/usr/bin/env python3
"""Usage: python3 Bootstrapper/scripts/code_figures.py [--rev REV] [FOLDER]

The figures quoted about the size of the sources: the non-blank lines of the C++ files
below FOLDER (default: Bootstrapper/src/checker), per subfolder and in all, its largest
file and its largest function (non-blank lines from the line that opens its body to the
line that closes it). With --rev, the same for the files as they stand at that git
revision (a commit, a tag, HEAD~3), so that a change's figures can be quoted before and
after."""
import pathlib
import re
import subprocess
import sys

REPOSITORY = pathlib.Path(__file__).resolve().parents[2]
DEFAULT = "Bootstrapper/src/checker"
# A body that is no function's: a type, a namespace, an initialiser, a lambda's or a
# control statement's.
NOT_A_FUNCTION = re.compile(r"\b(namespace|class|struct|enum|union|if|for|while|switch|catch|do|else)\b|=\s*$|\]\s*\(")
SIGNATURE_END = re.compile(r"\)\s*(const)?\s*(noexcept)?\s*(override|final)?\s*(->\s*[\w:<>]+)?\s*$")


def sources(folder, rev):
    """(path relative to the repository, text) of each .cpp and .h below folder."""
    if rev is None:
        for path in sorted((REPOSITORY / folder).rglob("*")):
            if path.suffix in (".cpp", ".h"):
                yield str(path.relative_to(REPOSITORY)), path.read_text(encoding="utf-8")
        return
    names = subprocess.run(["git", "-C", str(REPOSITORY), "ls-tree", "-r", "--name-only", rev, "--", folder],
                           check=True, capture_output=True, text=True).stdout.split()
    for name in sorted(n for n in names if n.endswith((".cpp", ".h"))):
        text = subprocess.run(["git", "-C", str(REPOSITORY), "show", f"{rev}:{name}"],
                              check=True, capture_output=True, text=True).stdout
        yield name, text


def non_blank(lines):
    return sum(1 for line in lines if line.strip())


def functions(lines):
    """(name, non-blank lines) of each function body that opens at the start of a line
    or after its signature, found by matching braces (strings and comments are few enough
    in this code's braces to be ignored)."""
    found = []
    depth = 0
    opened = []  # (depth, first line, name or None)
    for number, line in enumerate(lines):
        code = line.split("//", 1)[0]
        for column, char in enumerate(code):
            if char == "{":
                before = "\n".join(lines[max(0, number - 3):number] + [code[:column]])
                head = before.rstrip()
                name = None
                if SIGNATURE_END.search(head) and not NOT_A_FUNCTION.search(head.splitlines()[-1] if head else ""):
                    match = re.search(r"([~\w:]+)\s*\([^()]*(\([^()]*\)[^()]*)*\)[^()]*$", head, re.S)
                    name = match.group(1) if match else None
                opened.append((depth, number, name))
                depth += 1
            elif char == "}" and opened:
                depth -= 1
                _, first, name = opened.pop()
                if name is not None and not any(entry[2] for entry in opened):
                    found.append((name, non_blank(lines[first:number + 1])))
    return found


def main(argv):
    if {"-h", "--help"} & set(argv):
        print(__doc__)
        return 0
    rev = None
    if "--rev" in argv:
        at = argv.index("--rev")
        rev = argv[at + 1]
        argv = argv[:at] + argv[at + 2:]
    folder = argv[0] if argv else DEFAULT
    per_folder = {}
    largest_file = ("", 0)
    largest_function = ("", "", 0)
    for name, text in sources(folder, rev):
        lines = text.splitlines()
        count = non_blank(lines)
        inner = pathlib.PurePosixPath(name).relative_to(folder).parts
        key = inner[0] if len(inner) > 1 else "."
        per_folder[key] = per_folder.get(key, 0) + count
        if count > largest_file[1]:
            largest_file = (name, count)
        for function, length in functions(lines):
            if length > largest_function[2]:
                largest_function = (name, function, length)
    print(f"{folder}{' at ' + rev if rev else ''}: {sum(per_folder.values())} non-blank lines")
    for key in sorted(per_folder):
        print(f"  {key:<16}{per_folder[key]:>6}")
    print(f"largest file: {largest_file[0]} ({largest_file[1]} lines)")
    print(f"largest function: {largest_function[1]} in {largest_function[0]} ({largest_function[2]} lines)")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
