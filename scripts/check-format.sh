#!/usr/bin/env bash
# check-format.sh ROOT: fails, naming each file, when a C++ source tracked under
# ROOT differs from what clang-format makes of it with ROOT/.clang-format.
# Fix a file with: clang-format -i FILE
set -euo pipefail
root=${1:?usage: check-format.sh ROOT}
cd "$root"
command -v clang-format >/dev/null || { echo "check-format: clang-format is not installed (scripts/setup.sh installs it)" >&2; exit 1; }
# git ls-files when the tree is a checkout, else every source below it.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
else
  mapfile -t files < <(find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
fi
# One clang-format for all files: it names each line it would change.
if report=$(clang-format --style=file --dry-run --Werror "${files[@]}" 2>&1); then
  exit 0
fi
printf '%s\n' "$report" | grep -E ': error:' >&2 || printf '%s\n' "$report" >&2
echo "check-format: the files above are not formatted; fix them with: clang-format -i FILE" >&2
exit 1
