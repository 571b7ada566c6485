#!/usr/bin/env bash
# Stopping capture through a real sound server when the microphone stops sending: a private
# PulseAudio server whose default input is a pipe source; its feed stalls (nothing more is
# written), then the source is unloaded. Each time stopping must return within a second.
# Exits 77 (skipped) where PulseAudio is missing.
#
#   bash tests/capture/capture-stop-test.sh [CAPTURE_TESTS]
#   (default: build/release/tests/capture/tunwick_capture_tests)
set -uo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
TESTS="$(realpath -m "${1:-$ROOT/build/release/tests/capture/tunwick_capture_tests}")"
# shellcheck source=../support/sound-server.sh
source "$ROOT/tests/support/sound-server.sh"

[ -x "$TESTS" ] || { echo "no test program at $TESTS" >&2; exit 2; }
command -v pactl >/dev/null || sound_test_skip "pactl is not installed"

WORK="$(mktemp -d)"
cleanup() {
  sound_server_stop
  rm -rf "$WORK"
}
trap cleanup EXIT

SOUND_SERVER_MICROPHONE=1 sound_server_start "$WORK/server" || sound_test_skip "$SOUND_SERVER_ERROR"
# The watchdog ends a capture that hangs, which is the fault this test looks for.
TUNWICK_TEST_SOURCE_FIFO="$WORK/server/source.fifo" \
  timeout 30 "$TESTS" --gtest_filter='CaptureStopTest.*' >"$WORK/stop.out" 2>&1
status=$?
grep '^Stop with' "$WORK/stop.out"
if [ "$status" -ne 0 ]; then
  echo "FAILED: the capture test exited with $status"
  cat "$WORK/stop.out"
  exit 1
fi
grep -q '^\[  PASSED  \] 1 test' "$WORK/stop.out" || {
  echo "FAILED: the test did not run"
  cat "$WORK/stop.out"
  exit 1
}
echo "PASSED: stopping returns at once with a stalled and a vanished feed"
