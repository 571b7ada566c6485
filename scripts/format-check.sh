#!/usr/bin/env bash
# Fails, naming the files, when a tracked C++ source differs from what clang-format makes of it.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
FORMAT="$(command -v clang-format-14 || command -v clang-format)"
mapfile -t files < <(git ls-files '*.cpp' '*.h')
bad=()
for f in "${files[@]}"; do
  "$FORMAT" --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done
if [ "${#bad[@]}" -gt 0 ]; then
  echo "These files differ from .clang-format (run: clang-format -i FILE):"
  printf '  %s\n' "${bad[@]}"
  exit 1
fi
echo "Format: ${#files[@]} files match .clang-format"
