#!/usr/bin/env python3
"""Prints the lines of code of the tests against those of the product.

A line counts when it is neither blank, nor a comment, nor (in C and C++)
a preprocessor line. C, C++, Python, shell and CMake files tracked by git
count: those under tests/ as tests, all others but bench/ as the product.
Usage: scripts/count-lines.py [--files]
"""
import os
import subprocess
import sys

C_FAMILY = (".c", ".cpp", ".h")
HASH_COMMENTS = (".py", ".sh", ".cmake")


def language(path):
    if path.endswith(C_FAMILY):
        return "c"
    name = os.path.basename(path)
    if path.endswith(HASH_COMMENTS) or name == "CMakeLists.txt" or path == ".ci/run":
        return "hash"
    return None


def code_lines(path, lang):
    count, in_block = 0, False
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            s = line.strip()
            if lang == "hash":
                count += bool(s) and not s.startswith("#")
                continue
            if in_block:
                if "*/" not in s:
                    continue
                in_block, s = False, s.split("*/", 1)[1].strip()
            if s.startswith("/*"):
                if "*/" not in s:
                    in_block = True
                    continue
                s = s.split("*/", 1)[1].strip()
            count += bool(s) and not s.startswith(("//", "#"))
    return count


def main():
    root = subprocess.run(["git", "rev-parse", "--show-toplevel"], check=True,
                          capture_output=True, text=True).stdout.strip()
    os.chdir(root)
    files = subprocess.run(["git", "ls-files"], check=True, capture_output=True,
                           text=True).stdout.splitlines()
    totals = {"tests": 0, "product": 0}
    for path in files:
        lang = language(path)
        if not lang or path.startswith("bench/") or not os.path.exists(path):
            continue
        n = code_lines(path, lang)
        side = "tests" if path.startswith("tests/") else "product"
        totals[side] += n
        if "--files" in sys.argv:
            print(f"{n:6} {side:8} {path}")
    ratio = totals["tests"] / totals["product"]
    print(f"tests {totals['tests']}, product {totals['product']}, ratio {ratio:.2f}")


if __name__ == "__main__":
    main()
