#!/usr/bin/env bash
# Sing-back through a real sound server: a private PulseAudio server whose default input is a
# pipe source, fed a take each time `tunwick listen` asks the learner to sing. The take is the
# phrase sung by the synthesizer's Voice Oohs with one note bent by 30 cents (a hit) and one
# by 150 (a miss). `tunwick listen` must judge what it hears as `tunwick score` judges the
# same WAV file: the same verdict for every note, the cents within 5. Exits 77 (skipped) where
# PulseAudio or the soundfont is missing.
#
#   bash tests/cli/listen-capture-test.sh [TUNWICK] [TAKE_PROBE]
#   (defaults: build/release/cli/tunwick, build/release/bench/tools/tunwick_take_probe)
set -uo pipefail

CENTS_APART_MAX=5
SOUNDFONT=/usr/share/sounds/sf2/TimGM6mb.sf2
# One phrase of five crotchets, C4 D4 E4 G4 A4; the second is sung 30 cents sharp, the fourth
# 150: four of five hit, so the first try passes and the exercise ends.
PHRASE="s=100,1,1,1,2,1,3,1,5,1,6"
BENDS="0,30,0,150,0"

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

printf '%s' "$PHRASE" >"$WORK/phrase.txt"
# The practice history goes into the work folder, not the home folder.
export XDG_DATA_HOME="$WORK/data"
"$PROBE" take "$WORK/phrase.txt" "$WORK/take.wav" --cents "$BENDS" --soundfont "$SOUNDFONT" ||
  exit 2
"$TUNWICK" score "$WORK/phrase.txt" "$WORK/take.wav" >"$WORK/score.out" 2>&1 || {
  echo "FAILED: tunwick score exited with $?"
  cat "$WORK/score.out"
  exit 1
}

SOUND_SERVER_MICROPHONE=1 sound_server_start "$WORK/server" || sound_test_skip "$SOUND_SERVER_ERROR"
export TUNWICK_SOUNDFONT="$SOUNDFONT" TUNWICK_AUDIO_DRIVER=pulseaudio
# At most three tries of a few seconds each; the watchdog ends a listener that hangs. Under
# AddressSanitizer, leaks are traced through libpulse's frames too, so that the one that
# RtAudio leaves in PulseAudio's device list is known by its caller and suppressed.
ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}fast_unwind_on_malloc=0" \
  timeout 60 "$TUNWICK" listen "$WORK/phrase.txt" 2>"$WORK/listen.err" |
  "$PROBE" feed "$WORK/server/source.fifo" "$WORK/take.wav" --on "Sing it back now" \
    >"$WORK/listen.out"
status=("${PIPESTATUS[@]}")
sound_server_stop
if [ "${status[0]}" -ne 0 ] || [ "${status[1]}" -ne 0 ]; then
  echo "FAILED: tunwick listen exited with ${status[0]}, the feeder with ${status[1]}"
  cat "$WORK/listen.err" "$WORK/listen.out"
  exit 1
fi

# The rows of the first table each printed: note, target, sung, cents, voiced, verdict.
rows() {
  awk '/^  Note  Target/ { table++; next }
       table == 1 && /^ +[0-9]+  / {
         verdict = $6; for (i = 7; i <= NF; i++) verdict = verdict " " $i
         print $1, $2, $3, $4, verdict
       }' "$1"
}
rows "$WORK/score.out" >"$WORK/score.rows"
rows "$WORK/listen.out" | tr -d '\r' >"$WORK/listen.rows"
echo "tunwick score:"
grep -m1 '^Phrase' "$WORK/score.out"
cat "$WORK/score.rows"
echo "tunwick listen:"
grep -m1 '^Phrase 1 of 1, [0-9]' "$WORK/listen.out" | tr -d '\r'
cat "$WORK/listen.rows"

paste -d' ' "$WORK/score.rows" "$WORK/listen.rows" |
  awk -v apart="$CENTS_APART_MAX" '
    { n++
      if (NF < 10) { print "FAILED: note " n " missing from one of the tables"; bad = 1; next }
      half = NF / 2
      if ($(half) != $NF) { print "FAILED: note " $1 ": " $(half) " from the file, " $NF " live"; bad = 1 }
      d = $4 - $(half + 4); if (d < 0) d = -d
      if (d > apart) { print "FAILED: note " $1 ": " $4 " cents from the file, " $(half + 4) " live"; bad = 1 }
    }
    END {
      if (n != 5) { print "FAILED: " n " notes compared, 5 expected"; bad = 1 }
      exit bad
    }' || exit 1
# The live take lasts the phrase (5 beats of 600 ms) and the grace of 300 ms.
grep -q '^Phrase 1 of 1, 5 notes to sing; take the default input: 3.3 s' "$WORK/listen.out" || {
  echo "FAILED: the live take's heading is not as expected"
  exit 1
}
grep -q "Total: 4 of 5 notes hit" "$WORK/score.out" || {
  echo "FAILED: the file's verdict is not 4 of 5"
  exit 1
}
# Every try listen judged is in the practice history, with the verdicts it showed.
tries_shown="$(grep -c '^Total: \|^Nothing heard' "$WORK/listen.out" || true)"
"$TUNWICK" progress "$WORK/phrase.txt" --json >"$WORK/progress.json" || {
  echo "FAILED: tunwick progress exited with $?"
  exit 1
}
tries_kept="$(grep -c '"when": ' "$WORK/progress.json" || true)"
if [ "$tries_shown" -lt 1 ] || [ "$tries_kept" != "$tries_shown" ]; then
  echo "FAILED: listen showed $tries_shown tries, the practice history holds $tries_kept"
  cat "$WORK/progress.json"
  exit 1
fi
grep -q '"hits": 4, "notes": 5' "$WORK/progress.json" || {
  echo "FAILED: the first try is not kept as 4 of 5 hits"
  cat "$WORK/progress.json"
  exit 1
}
echo "PASSED: the live take is judged as its file and kept in the practice history"
