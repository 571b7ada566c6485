#!/usr/bin/env bash
# Builds the score-parser fuzzer with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs it for a bounded time: scripts/fuzz.sh [seconds, default 60].
# Exits non-zero on any crash, leak, timeout or sanitizer report. New inputs and crash
# reproducers go to a temporary folder; the seed corpus in fuzz/corpus is only read.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
SECONDS_TO_RUN="${1:-60}"
BUILD_DIR="${TUNWICK_FUZZ_BUILD_DIR:-$ROOT/build/fuzz}"
CC_BIN="${TUNWICK_FUZZ_CC:-clang-14}"
CXX_BIN="${TUNWICK_FUZZ_CXX:-clang++-14}"

if ! [[ "$SECONDS_TO_RUN" =~ ^[0-9]+$ ]] || [ "$SECONDS_TO_RUN" -lt 1 ]; then
  echo "usage: $0 [seconds]" >&2
  exit 2
fi

cmake -S "$ROOT" -B "$BUILD_DIR" \
  -DCMAKE_C_COMPILER="$CC_BIN" -DCMAKE_CXX_COMPILER="$CXX_BIN" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTUNWICK_BUILD_FUZZ=ON -DTUNWICK_BUILD_APP=OFF -DTUNWICK_BUILD_TESTS=OFF -DTUNWICK_BUILD_BENCH=OFF
cmake --build "$BUILD_DIR" -j"$(nproc)" --target tunwick_score_fuzzer

WORK="$(mktemp -d "${TMPDIR:-/tmp}/tunwick-fuzz.XXXXXX")"
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/corpus" "$WORK/artifacts"
LOG="$WORK/fuzz.log"

status=0
ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  "$BUILD_DIR/fuzz/tunwick_score_fuzzer" \
    -max_total_time="$SECONDS_TO_RUN" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
    -print_final_stats=1 -artifact_prefix="$WORK/artifacts/" \
    "$WORK/corpus" "$ROOT/fuzz/corpus" >"$LOG" 2>&1 || status=$?

tail -n 25 "$LOG"
if [ "$status" -ne 0 ] || grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|SUMMARY: ' "$LOG"; then
  echo "fuzz: FAILED (exit status $status)" >&2
  for artifact in "$WORK"/artifacts/*; do
    [ -e "$artifact" ] || continue
    echo "reproducer $(basename "$artifact") (hex):" >&2
    od -A d -t x1 -N 512 "$artifact" >&2
  done
  exit 1
fi
echo "fuzz: no crash, leak, timeout or sanitizer report in ${SECONDS_TO_RUN} s"
