#!/usr/bin/env bash
# Installs what Tunwick needs, builds it and runs every test:
#   0. the source format check (clang-format),
#   1. unit, GUI and command-line tests (ctest), and the naming convention (clang-tidy),
#   2. the same tests built with AddressSanitizer and UndefinedBehaviorSanitizer,
#   3. the threaded code under ThreadSanitizer: the sound output's and MIDI layer's tests, the
#      parser's (two scores parsed at once) and the sing-back ear's (fed from its input's thread
#      while the display reads it),
#   4. a short fuzz run of the score parser and of the ABC, MusicXML and MIDI importers,
#   5. the Debian package: built, its file list, the validators and lintian.
# Exits non-zero on the first failure.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

bash scripts/setup.sh

JOBS="$(nproc)"
FUZZ_SECONDS="${TUNWICK_FUZZ_SECONDS:-60}"

# GUI tests run on Qt's offscreen platform; no display or sound card is needed.
export QT_QPA_PLATFORM=offscreen
XDG_RUNTIME_DIR="$(mktemp -d)"
export XDG_RUNTIME_DIR
chmod 700 "$XDG_RUNTIME_DIR"

step() { printf '\n==== %s ====\n' "$*"; }

step "Source format"
bash scripts/format-check.sh

step "Build and test (RelWithDebInfo)"
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/release -j"$JOBS"
ctest --test-dir build/release --output-on-failure -j"$JOBS"

step "Naming convention"
bash scripts/naming-check.sh build/release

step "Build and test under AddressSanitizer + UndefinedBehaviorSanitizer"
cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DTUNWICK_SANITIZE=ON -DTUNWICK_BUILD_BENCH=OFF
cmake --build build/asan -j"$JOBS"
ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" \
LSAN_OPTIONS="suppressions=$ROOT/tests/sanitizer/lsan.supp:print_suppressions=0" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  ctest --test-dir build/asan --output-on-failure -j"$JOBS"

step "Sound output, MIDI layer, parser and sing-back ear under ThreadSanitizer"
cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=Debug -DTUNWICK_TSAN=ON -DTUNWICK_BUILD_APP=OFF -DTUNWICK_BUILD_BENCH=OFF
cmake --build build/tsan -j"$JOBS" --target tunwick_audio_tests tunwick_midi_tests tunwick_notation_tests \
  tunwick_singback_tests
# Only these test programs are built here, so run them directly rather than through ctest.
TSAN_OPTIONS="halt_on_error=1" \
  build/tsan/tests/audio/tunwick_audio_tests
TSAN_OPTIONS="halt_on_error=1" \
  build/tsan/tests/midi/tunwick_midi_tests
TSAN_OPTIONS="halt_on_error=1" \
  build/tsan/tests/notation/tunwick_notation_tests
TSAN_OPTIONS="halt_on_error=1" \
  build/tsan/tests/singback/tunwick_singback_tests

step "Fuzz the score parser and the ABC importer for ${FUZZ_SECONDS} s each"
bash scripts/fuzz.sh "$FUZZ_SECONDS"

step "Debian package"
bash scripts/package.sh

step "All tests passed"
