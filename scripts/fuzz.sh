#!/usr/bin/env bash
# Builds the fuzzers with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) and
# runs each for a bounded time: scripts/fuzz.sh [seconds per fuzzer, default 60]. The score's
# readers start from fuzz/corpus, the ABC, MusicXML and MIDI importers from fuzz/abc-corpus,
# fuzz/musicxml-corpus and fuzz/midi-corpus.
# Exits non-zero on any crash, leak, timeout or sanitizer report. New inputs and crash
# reproducers go to a temporary folder; the seed corpora are only read.
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
FUZZERS=(tunwick_score_fuzzer:corpus tunwick_abc_fuzzer:abc-corpus
  tunwick_musicxml_fuzzer:musicxml-corpus tunwick_midi_fuzzer:midi-corpus)
cmake --build "$BUILD_DIR" -j"$(nproc)" --target "${FUZZERS[@]%%:*}"

WORK="$(mktemp -d "${TMPDIR:-/tmp}/tunwick-fuzz.XXXXXX")"
trap 'rm -rf "$WORK"' EXIT

for entry in "${FUZZERS[@]}"; do
  FUZZER="${entry%%:*}"
  SEEDS="$ROOT/fuzz/${entry#*:}"
  mkdir -p "$WORK/$FUZZER/corpus" "$WORK/$FUZZER/artifacts"
  LOG="$WORK/$FUZZER/fuzz.log"
  echo "fuzz: $FUZZER for ${SECONDS_TO_RUN} s"
  status=0
  ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1" \
  UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    "$BUILD_DIR/fuzz/$FUZZER" \
      -max_total_time="$SECONDS_TO_RUN" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
      -print_final_stats=1 -artifact_prefix="$WORK/$FUZZER/artifacts/" \
      "$WORK/$FUZZER/corpus" "$SEEDS" >"$LOG" 2>&1 || status=$?

  tail -n 25 "$LOG"
  if [ "$status" -ne 0 ] || grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|SUMMARY: ' "$LOG"; then
    echo "fuzz: $FUZZER FAILED (exit status $status)" >&2
    for artifact in "$WORK/$FUZZER"/artifacts/*; do
      [ -e "$artifact" ] || continue
      echo "reproducer $(basename "$artifact") (hex):" >&2
      od -A d -t x1 -N 512 "$artifact" >&2
    done
    exit 1
  fi
  echo "fuzz: $FUZZER: no crash, leak, timeout or sanitizer report in ${SECONDS_TO_RUN} s"
done
