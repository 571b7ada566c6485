#!/usr/bin/env bash
# The course through a real sound server: a private PulseAudio server whose default input is a
# pipe source, fed a take each time `tunwick learn` asks the learner to sing. The song has two
# phrases of the same five crotchets, and the take sings them with one note 150 cents off:
# four of five hit, so every take passes. Three runs on one day: the first learns both phrases,
# the second makes them known (two passes each), the third sings them through as one take,
# kept as one try spanning both. Each run's steps are checked as it says them, and the tries it stored as
# `tunwick progress --json` and `tunwick learn --plan --json` read them; then Ctrl-C during a
# run keeps the take judged before it. Exits 77 (skipped)
# where PulseAudio or the soundfont is missing.
#
#   bash tests/cli/learn-capture-test.sh [TUNWICK] [TAKE_PROBE]
#   (defaults: build/release/cli/tunwick, build/release/bench/tools/tunwick_take_probe)
set -uo pipefail

SOUNDFONT=/usr/share/sounds/sf2/TimGM6mb.sf2
SONG="s=100,1,1,1,2,1,3,1,5,1,6|1,1,1,2,1,3,1,5,1,6"
BENDS="0,0,0,150,0"

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
TUNWICK="$(realpath -m "${1:-$ROOT/build/release/cli/tunwick}")"
PROBE="$(realpath -m "${2:-$ROOT/build/release/bench/tools/tunwick_take_probe}")"
# shellcheck source=../support/sound-server.sh
source "$ROOT/tests/support/sound-server.sh"

sound_test_require "$TUNWICK" "$PROBE" "$SOUNDFONT"

WORK="$(mktemp -d)"
cleanup() {
  sound_server_stop
  rm -rf "$WORK"
}
trap cleanup EXIT

printf '%s' "$SONG" >"$WORK/song.txt"
export XDG_DATA_HOME="$WORK/data"
"$PROBE" take "$WORK/song.txt" "$WORK/take.wav" --cents "$BENDS" --soundfont "$SOUNDFONT" ||
  exit 2
# The chained take: both phrases sung through as one, the same note off in each.
printf '%s' "s=100,1,1,1,2,1,3,1,5,1,6,1,1,1,2,1,3,1,5,1,6" >"$WORK/through.txt"
"$PROBE" take "$WORK/through.txt" "$WORK/chain.wav" --cents "$BENDS,$BENDS" \
  --soundfont "$SOUNDFONT" || exit 2

SOUND_SERVER_MICROPHONE=1 sound_server_start "$WORK/server" || sound_test_skip "$SOUND_SERVER_ERROR"
export TUNWICK_SOUNDFONT="$SOUNDFONT" TUNWICK_AUDIO_DRIVER=pulseaudio

fail() {
  echo "FAILED: $1"
  cat "$WORK/learn.err" "$WORK/learn.out" 2>/dev/null
  exit 1
}

# One run of today's course, fed TAKE each time it asks; its output in learn.out.
learn() {
  local take=$1
  ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}fast_unwind_on_malloc=0" \
    timeout 90 "$TUNWICK" learn "$WORK/song.txt" 2>"$WORK/learn.err" |
    "$PROBE" feed "$WORK/server/source.fifo" "$take" --on "Sing it back now" |
    tr -d '\r' >"$WORK/learn.out"
  local status=("${PIPESTATUS[@]}")
  [ "${status[0]}" -eq 0 ] || fail "tunwick learn exited with ${status[0]}"
  [ "${status[1]}" -eq 0 ] || fail "the feeder exited with ${status[1]}"
}

expect() {
  grep -qF -- "$1" "$WORK/learn.out" || fail "run $2 did not say: $1"
}

learn "$WORK/take.wav"
expect "Step 1 of 2: learn phrase 1" 1
expect "Step 2 of 2: learn phrase 2" 1
expect "Known 0 of 2 phrases; reviews done: 0; next due:" 1
learn "$WORK/take.wav"
expect "Known 2 of 2 phrases" 2
learn "$WORK/chain.wav"
expect "Step 1 of 1: chain phrases 1-2" 3
expect "Phrases 1-2, try 1 of 3: listen" 3
expect "Phrase 1 of 2, 10 notes to sing; take the default input: 6.3 s" 3
expect "Total: 8 of 10 notes hit (80%): passed" 3
cat "$WORK/learn.out"

"$TUNWICK" progress "$WORK/song.txt" --json >"$WORK/progress.json" ||
  fail "tunwick progress exited with $?"
tries_kept="$(grep -c '"when": ' "$WORK/progress.json" || true)"
spanning="$(grep -c '"lastPhrase": 2' "$WORK/progress.json" || true)"
# Four single-phrase tries (two runs of two steps) and the chained one.
if [ "$tries_kept" != 5 ] || [ "$spanning" != 1 ]; then
  echo "FAILED: the history holds $tries_kept tries, $spanning of them chained; 5 and 1 expected"
  cat "$WORK/progress.json"
  exit 1
fi
"$TUNWICK" learn "$WORK/song.txt" --plan --json >"$WORK/plan.json" ||
  fail "tunwick learn --plan exited with $?"
grep -q '"steps": \[\]' "$WORK/plan.json" || {
  echo "FAILED: the chained song still has steps today"
  cat "$WORK/plan.json"
  exit 1
}

# Ctrl-C after the first take of a phrase sung wrong: the run stops with 130 and the take it
# judged is kept.
printf '%s' "s=100,1,1,1,2,1,3,1,5,1,6" >"$WORK/other.txt"
"$PROBE" take "$WORK/other.txt" "$WORK/wrong.wav" --cents "150,150,150,150,150" \
  --soundfont "$SOUNDFONT" || exit 2
: >"$WORK/learn.out"
"$TUNWICK" learn "$WORK/other.txt" 2>"$WORK/learn.err" \
  > >("$PROBE" feed "$WORK/server/source.fifo" "$WORK/wrong.wav" --on "Sing it back now" \
    >"$WORK/learn.out") &
learner=$!
for _ in $(seq 600); do
  grep -q '^Total: ' "$WORK/learn.out" && break
  sleep 0.1
done
kill -INT "$learner"
wait "$learner"
status=$?
[ "$status" -eq 130 ] || fail "tunwick learn stopped by Ctrl-C exited with $status, not 130"
"$TUNWICK" progress "$WORK/other.txt" --json >"$WORK/progress.json" ||
  fail "tunwick progress exited with $?"
kept="$(grep -c '"when": ' "$WORK/progress.json" || true)"
[ "$kept" = 1 ] || fail "after Ctrl-C the history holds $kept tries of the song, not 1"
echo "PASSED: the course ran through the microphone, step by step, every try kept"
