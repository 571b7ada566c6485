#!/usr/bin/env bash
# A long practice run through a private PulseAudio server (tests/support/sound-server.sh)
# whose pipe sink is captured from its first sample: `tunwick play --mode practice` of one
# phrase for MINUTES, stopped with Ctrl-C. It reports the underruns of the stream in the
# server's log (after the first minute, and in it); the program's resident memory (VmRSS, sampled every 10 s) after the first
# minute, at its largest and at the end; the drift: each pass's notes found in the capture (at
# the pass's own transposition) against their schedule, the first pass against the last; and
# the machine's own stops over the run (bench/tools' stall probe beside it): what the stream's
# buffer has to outlast; and the buffer the stream settled at (it starts at 23 ms and doubles
# at each dropout).
#
#   bash bench/cli/soak.sh [--minutes M] [--keep DIR]     (default 60 minutes)
#
# Needs the release build with its tests (build/release/cli/tunwick and
# build/release/bench/tools/tunwick_sound_probe; TUNWICK and TOOLS name others) and the
# packages of scripts/setup.sh. The
# capture takes about 640 MB an hour in a temporary folder.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
TUNWICK="${TUNWICK:-$ROOT/build/release/cli/tunwick}"
TOOLS="${TOOLS:-$ROOT/build/release/bench/tools}"
PROBE="$TOOLS/tunwick_sound_probe"
STALLS="$TOOLS/tunwick_stall_probe"
SOUNDFONT=/usr/share/sounds/sf2/TimGM6mb.sf2
MINUTES=60
KEEP=""
while [ $# -gt 0 ]; do
  case "$1" in
    --minutes) MINUTES=$2; shift 2 ;;
    --keep) KEEP=$2; shift 2 ;;
    *) echo "usage: $0 [--minutes M] [--keep DIR]" >&2; exit 2 ;;
  esac
done
# shellcheck source=../../tests/support/sound-server.sh
source "$ROOT/tests/support/sound-server.sh"

WORK="$(mktemp -d)"
STALLS_PID=""
cleanup() {
  [ -n "$STALLS_PID" ] && kill "$STALLS_PID" 2>/dev/null
  if [ -n "$KEEP" ]; then
    mkdir -p "$KEEP" && cp -r "$WORK"/. "$KEEP"/ && echo "files kept in $KEEP"
  fi
  sound_bench_cleanup
}
trap cleanup EXIT
sound_server_start "$WORK/server" "$PROBE" || { echo "$SOUND_SERVER_ERROR"; exit 1; }
export TUNWICK_AUDIO_DRIVER=pulseaudio TUNWICK_SOUNDFONT="$SOUNDFONT"
# A data folder of its own: the stream starts with the short buffer, none kept from before.
export XDG_DATA_HOME="$WORK/data"

# The first phrase of the probe's score: practice drills it for the whole run.
"$PROBE" score | cut -d'|' -f1 >"$WORK/score.txt"
"$TUNWICK" export "$WORK/score.txt" "$WORK/score.mid"
"$STALLS" "$((MINUTES * 60))" >"$WORK/stalls.txt" &
STALLS_PID=$!
from=$(sound_server_mark)
"$TUNWICK" play "$WORK/score.txt" --mode practice \
  > >(nice -n -10 "$PROBE" stamp >"$WORK/play.passes") 2>"$WORK/play.err" &
APP_PID=$!
rss() { awk '/^VmRSS/ {print $2}' "/proc/$APP_PID/status"; }
sleep 60
# The stream's start is counted apart: the sink's first blocks can find its buffer short
# before any note sounds.
settled=$(sound_server_mark)
rss_first=$(rss)
rss_max=$rss_first
end=$((SECONDS + MINUTES * 60 - 60))
while [ "$SECONDS" -lt "$end" ] && kill -0 "$APP_PID" 2>/dev/null; do
  sleep 10
  now=$(rss) || break
  [ "$now" -gt "$rss_max" ] && rss_max=$now
done
rss_last=$(rss)
until=$("$PROBE" now)
kill -INT "$APP_PID"
wait "$APP_PID" 2>/dev/null || true
APP_PID=""
sleep 1
to=$(sound_server_mark)
underruns_start=$(sound_server_underruns "$from" "$settled")
underruns=$(sound_server_underruns "$settled" "$to")
sound_server_stop
passes=$(grep -c "pass" "$WORK/play.passes" || true)
echo "practice run: $MINUTES min, $passes passes"
echo "underruns of the stream: $underruns after the first minute ($underruns_start in it)"
echo "buffer settled at: $(cat "$WORK/data/tunwick/sound-buffer" 2>/dev/null || echo 1024) frames"
echo "resident memory: $rss_first kB after the first minute, $rss_last kB at the end," \
  "$rss_max kB at most: growth $((rss_max - rss_first)) kB"
grep -q "Pipe-sink just dropped" "$WORK/server/server.log" &&
  echo "warning: the sink dropped data (the capture fell behind); timings are not trustworthy"
wait "$STALLS_PID" || true
echo "the machine's stops over the run (a real-time thread per core, sleeping 1 ms at a time):"
cat "$WORK/stalls.txt"
"$PROBE" analyse --capture "$WORK/server/capture.raw" --reads "$WORK/server/capture.reads" \
  --midi "$WORK/score.mid" --soundfont "$SOUNDFONT" --passes "$WORK/play.passes" \
  --pass-text "pass" --until "$until" --label practice --notes "$WORK/practice.notes" || true
