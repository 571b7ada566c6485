#!/usr/bin/env bash
# Timing and dropouts of live playback, heard through a private PulseAudio server whose pipe
# sink is captured from its first sample (tests/support/sound-server.sh), with every core kept
# busy by busy loops (one `while :; do :; done` shell per core, at normal priority). In one
# server run:
#   1. `tunwick play` of the built-in score, once;
#   2. FluidSynth's own player (`fluidsynth -ni -a pulseaudio -o audio.period-size=P`) on the
#      same score exported as a MIDI file, for each period size P;
#   3. `tunwick play --mode repeat` for MINUTES, stopped with Ctrl-C (SIGINT).
# For each: the underruns of the stream in the server's log, and each note's onset in the
# capture against its schedule (pass start + the note's time in the exported MIDI file):
# error, constant latency (median error), jitter (|error - median|) p99 and max, and for the
# repeat run the drift between its first and last complete pass. FluidSynth shows no pass
# start, so its first note stands for its schedule: its latency reads 0 and its jitter
# compares.
#
#   bash bench/cli/live-timing.sh [--minutes M] [--load N] [--soundfont SF2]
#                                 [--periods "256 1024"] [--keep DIR]
#   (defaults: 10 minutes, one busy loop per core, TimGM6mb, periods 256 and 1024)
#
# Needs the release build with its tests (build/release/cli/tunwick and
# build/release/bench/tools/tunwick_sound_probe) and the packages of scripts/setup.sh.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
TUNWICK="$ROOT/build/release/cli/tunwick"
PROBE="$ROOT/build/release/bench/tools/tunwick_sound_probe"
MINUTES=10
LOAD="$(nproc)"
SOUNDFONT=/usr/share/sounds/sf2/TimGM6mb.sf2
PERIODS="256 1024"
KEEP=""
while [ $# -gt 0 ]; do
  case "$1" in
    --minutes) MINUTES=$2; shift 2 ;;
    --load) LOAD=$2; shift 2 ;;
    --soundfont) SOUNDFONT=$2; shift 2 ;;
    --periods) PERIODS=$2; shift 2 ;;
    --keep) KEEP=$2; shift 2 ;;
    *) echo "usage: $0 [--minutes M] [--load N] [--soundfont SF2] [--periods LIST] [--keep DIR]" >&2
      exit 2 ;;
  esac
done
for f in "$TUNWICK" "$PROBE"; do
  [ -x "$f" ] || { echo "$0: no $f (build the release tree with its tests)" >&2; exit 1; }
done
[ -r "$SOUNDFONT" ] || { echo "$0: no soundfont at $SOUNDFONT" >&2; exit 1; }
command -v fluidsynth >/dev/null || { echo "$0: fluidsynth is not installed" >&2; exit 1; }

# shellcheck source=../../tests/support/sound-server.sh
source "$ROOT/tests/support/sound-server.sh"
WORK="$(mktemp -d)"
cleanup() {
  busy_stop
  sound_server_stop
  if [ -n "$KEEP" ]; then
    mkdir -p "$KEEP" && cp -r "$WORK"/. "$KEEP"/ && echo "files kept in $KEEP"
  fi
  rm -rf "$WORK"
}
trap cleanup EXIT

"$PROBE" score >"$WORK/score.txt"
"$TUNWICK" export "$WORK/score.txt" "$WORK/score.mid" >/dev/null
sound_server_start "$WORK/server" "$PROBE" || { echo "$0: $SOUND_SERVER_ERROR" >&2; exit 1; }
export TUNWICK_SOUNDFONT="$SOUNDFONT" TUNWICK_AUDIO_DRIVER=pulseaudio

CAPTURE=(--capture "$WORK/server/capture.raw" --reads "$WORK/server/capture.reads"
  --midi "$WORK/score.mid" --soundfont "$SOUNDFONT")
ANALYSES=()  # deferred until the server has stopped and the capture is complete

echo "load: $LOAD busy loops on $(nproc) cores; soundfont $SOUNDFONT"
busy_start "$LOAD"
sleep 1

# 1. The built-in score once.
from=$(sound_server_mark)
"$TUNWICK" play "$WORK/score.txt" --mode all \
  > >(nice -n -10 "$PROBE" stamp >"$WORK/once.passes") 2>"$WORK/once.err"
sleep 1
to=$(sound_server_mark)
echo "tunwick play, built-in score once: $(sound_server_underruns "$from" "$to") underruns of the stream"
ANALYSES+=("once|--passes $WORK/once.passes --label tunwick-once --notes $WORK/once.notes")

# 2. FluidSynth's player on the same notes.
for period in $PERIODS; do
  from=$(sound_server_mark)
  launched=$("$PROBE" now)
  echo "$launched" >"$WORK/fluidsynth-$period.launched"
  fluidsynth -ni -a pulseaudio -o audio.period-size="$period" "$SOUNDFONT" "$WORK/score.mid" \
    >"$WORK/fluidsynth-$period.out" 2>&1
  sleep 1
  to=$(sound_server_mark)
  echo "fluidsynth, period $period: $(sound_server_underruns "$from" "$to") underruns of the stream"
  ANALYSES+=("fluidsynth-$period|--origin $launched --find-first 10000 --follow 1000 --label fluidsynth-$period --notes $WORK/fluidsynth-$period.notes")
done

# 3. The repeat mode for MINUTES.
from=$(sound_server_mark)
"$TUNWICK" play "$WORK/score.txt" --mode repeat \
  > >(nice -n -10 "$PROBE" stamp >"$WORK/repeat.passes") 2>"$WORK/repeat.err" &
player=$!
sleep "$(awk -v m="$MINUTES" 'BEGIN {print m * 60}')"
until=$("$PROBE" now)
echo "$until" >"$WORK/repeat.until"
kill -INT "$player"
wait "$player" || true
sleep 1
to=$(sound_server_mark)
echo "tunwick play --mode repeat, $MINUTES min: $(sound_server_underruns "$from" "$to") underruns of the stream"
ANALYSES+=("repeat|--passes $WORK/repeat.passes --until $until --label tunwick-repeat --notes $WORK/repeat.notes")

busy_stop
sound_server_stop
grep -q "Pipe-sink just dropped" "$WORK/server/server.log" &&
  echo "warning: the sink dropped data (the capture fell behind); timings are not trustworthy"
for analysis in "${ANALYSES[@]}"; do
  name=${analysis%%|*}
  # shellcheck disable=SC2086  # the options are words
  "$PROBE" analyse "${CAPTURE[@]}" ${analysis#*|} || true
done
echo "per-note errors of the single run (ms):"
sed 's/^/  /' "$WORK/once.notes"
