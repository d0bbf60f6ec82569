#!/usr/bin/env bash
# Fails when a C++ file differs from the committed .clang-format style; prints the files.
#   bash scripts/format-check.sh          check
#   bash scripts/format-check.sh --fix    rewrite them in place
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h' 2>/dev/null || find src tests bench tools -name '*.cpp' -o -name '*.h')
if [ "${1:-}" = --fix ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
bad=()
for f in "${files[@]}"; do
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done
if [ ${#bad[@]} -gt 0 ]; then
  echo "These files differ from .clang-format (bash scripts/format-check.sh --fix):" >&2
  printf '  %s\n' "${bad[@]}" >&2
  exit 1
fi
echo "format check: ${#files[@]} files follow .clang-format"
