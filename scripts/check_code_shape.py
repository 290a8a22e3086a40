#!/usr/bin/env python3
"""Keeps the product code in pieces a reader can hold: no source file over 600 lines and no function over 60.

Usage: check_code_shape.py [repository top folder]. Prints every file and function over its limit and exits 1 when
there is one. Tests, benchmarks and fuzz targets are not product code. A function is a brace block opened after a
parameter list (constructors with initialiser lists too); lambdas count towards the function they stand in."""
import pathlib
import re
import sys

MAX_FILE_LINES = 600
MAX_FUNCTION_LINES = 60
PRODUCT = ("app", "control", "console", "component", "platform", "tools")
SOURCE = (".cpp", ".h")

SIGNATURE = re.compile(r"\)\s*(const)?\s*(noexcept)?\s*(override|final)?\s*(->\s*[\w:<>,\s*&]+)?\s*$")
INIT_LIST = re.compile(r"\)\s*:\s*[\w:]+\s*[({]")
NOT_A_FUNCTION = re.compile(r"^\s*(namespace|struct|class|enum|union|extern)\b|\b(if|for|while|switch|catch)\s*\(|=\s*$|"
                            r"\[[^\]]*\]\s*(\([^)]*\))?\s*(mutable)?\s*(->\s*[\w:<>]+)?\s*$")


def strip(line):
    """The code of a line: no comments, no string or character literals."""
    line = re.sub(r'"(\\.|[^"\\])*"', '""', line)
    line = re.sub(r"'(\\.|[^'\\])*'", "''", line)
    return line.split("//")[0]


def functions(lines):
    """(first line number, length, header) of each outermost function body in a file."""
    found = []
    depth = 0
    start = None  # (line index, depth at which the function's body opened)
    header = ""
    in_block_comment = False
    for i, raw in enumerate(lines):
        line = raw
        if in_block_comment:
            if "*/" not in line:
                continue
            line = line.split("*/", 1)[1]
            in_block_comment = False
        if "/*" in line and "*/" not in line.split("/*", 1)[1]:
            line = line.split("/*", 1)[0]
            in_block_comment = True
        code = strip(line)
        for pos, ch in enumerate(code):
            if ch == "{":
                if start is None:
                    before = (header + " " + code[:pos]).strip()
                    if (SIGNATURE.search(before) or INIT_LIST.search(before)) and not NOT_A_FUNCTION.search(before):
                        start = (i, depth)
                depth += 1
                header = ""
            elif ch == "}":
                depth -= 1
                header = ""
                if start is not None and depth == start[1]:
                    found.append((start[0] + 1, i - start[0] + 1, lines[start[0]].strip()))
                    start = None
            elif ch == ";":
                header = ""
        if start is None:
            header = (header + " " + code).strip()[-400:]
    return found


def main():
    top = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    problems = []
    for folder in PRODUCT:
        for path in sorted((top / folder).rglob("*")):
            if path.suffix not in SOURCE or not path.is_file():
                continue
            lines = path.read_text(encoding="utf-8").splitlines()
            rel = path.relative_to(top)
            if len(lines) > MAX_FILE_LINES:
                problems.append(f"{rel}: {len(lines)} lines (at most {MAX_FILE_LINES})")
            for line, length, header in functions(lines):
                if length > MAX_FUNCTION_LINES:
                    problems.append(f"{rel}:{line}: a function of {length} lines (at most {MAX_FUNCTION_LINES}): "
                                    f"{header[:80]}")
    for p in problems:
        print(p)
    if problems:
        return 1
    print(f"code shape: every product file within {MAX_FILE_LINES} lines and every function within "
          f"{MAX_FUNCTION_LINES}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
