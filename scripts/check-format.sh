#!/usr/bin/env bash
# Fails when a C or C++ file that this change adds or modifies is not as
# clang-format (the repository's .clang-format) would write it. The change
# is what the work tree holds beyond the merge base with main, or, on main
# itself (as in CI's fresh clone), beyond the previous commit; files nobody
# touched are never checked.
set -euo pipefail
cd "$(dirname "$0")/.."
base=""
if git rev-parse -q --verify main >/dev/null &&
  [ "$(git rev-parse HEAD)" != "$(git rev-parse main)" ]; then
  base=$(git merge-base HEAD main)
elif git rev-parse -q --verify HEAD~ >/dev/null; then
  base=HEAD~
fi
if [ -z "$base" ]; then
  echo "check-format: no earlier commit to compare with; nothing checked"
  exit 0
fi
mapfile -t files < <(git diff --name-only --diff-filter=AMR "$base" -- \
  '*.c' '*.cpp' '*.h')
if [ ${#files[@]} -eq 0 ]; then
  echo "check-format: no C or C++ file changed since $(git rev-parse --short "$base")"
  exit 0
fi
clang-format --dry-run --Werror "${files[@]}"
echo "check-format: ${#files[@]} changed files formatted as .clang-format asks"
