#!/usr/bin/env bash
# Checks the naming convention (README, "Where things are") over the product's folders with
# clang-tidy's identifier-naming check, as .clang-tidy at the root sets it. Needs a configured
# build folder with its compile_commands.json and Qt's generated sources (built once).
#   bash scripts/naming-check.sh [BUILD_DIR]     (default: build/release)
# Exits non-zero, naming each place, when any name breaks the convention.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
BUILD="${1:-build/release}"
FOLDERS='audio|capture|cli|course|files|history|importers|jianpu|listening|midi|notation|panel|playback|pulse|singback|window'

if [ ! -f "$BUILD/compile_commands.json" ]; then
  echo "naming check: $BUILD/compile_commands.json is missing; configure and build first" >&2
  exit 2
fi
LOG="$(mktemp)"
trap 'rm -f "$LOG"' EXIT
# Every product source, a few to a clang-tidy run, one run per core; the report decides.
git ls-files | grep -E "^($FOLDERS)/[^/]+\\.cpp\$" |
  xargs -P "$(nproc)" -n 8 clang-tidy-14 -p "$BUILD" --quiet >"$LOG" 2>&1 || true
VIOLATIONS="$(grep -E ': (warning|error): .*\[readability-identifier-naming' "$LOG" | sort -u || true)"
if [ -n "$VIOLATIONS" ]; then
  echo "$VIOLATIONS" | sed "s|^$ROOT/||"
  echo "naming check: $(echo "$VIOLATIONS" | wc -l) name(s) break the convention" >&2
  exit 1
fi
if grep -qE '^(Error|error): ' "$LOG"; then
  grep -E '^(Error|error): ' "$LOG" >&2
  echo "naming check: clang-tidy could not read every file" >&2
  exit 1
fi
echo "naming check: every name in the product follows the convention"
