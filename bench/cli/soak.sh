#!/usr/bin/env bash
# A long practice run through a private PulseAudio server (tests/support/sound-server.sh):
# `tunwick play --mode practice` of the built-in score for MINUTES, stopped with Ctrl-C. It
# reports the underruns of the stream in the server's log, the program's resident memory
# (VmRSS, sampled every 10 s) after the first minute, at its largest and at the end. (The
# drift of the sound against the schedule over a long run is measured in repeat mode by
# bench/cli/live-timing.sh, whose probe matches the passes' notes against the score.)
#
#   bash bench/cli/soak.sh [--minutes M]     (default 60)
#
# Needs the release build with its tests (build/release/cli/tunwick and
# build/release/bench/tools/tunwick_sound_probe) and the packages of scripts/setup.sh.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
TUNWICK="$ROOT/build/release/cli/tunwick"
PROBE="$ROOT/build/release/bench/tools/tunwick_sound_probe"
MINUTES=60
[ "${1:-}" = "--minutes" ] && MINUTES=$2
# shellcheck source=../../tests/support/sound-server.sh
source "$ROOT/tests/support/sound-server.sh"

sound_bench_start

from=$(sound_server_mark)
"$PROBE" score >"$WORK/score.txt"
"$TUNWICK" play "$WORK/score.txt" --mode practice >"$WORK/play.out" 2>&1 &
APP_PID=$!
rss() { awk '/^VmRSS/ {print $2}' "/proc/$APP_PID/status"; }
sleep 60
rss_first=$(rss)
rss_max=$rss_first
end=$((SECONDS + MINUTES * 60 - 60))
while [ "$SECONDS" -lt "$end" ] && kill -0 "$APP_PID" 2>/dev/null; do
  sleep 10
  now=$(rss) || break
  [ "$now" -gt "$rss_max" ] && rss_max=$now
done
rss_last=$(rss)
kill -INT "$APP_PID"
wait "$APP_PID" 2>/dev/null || true
APP_PID=""
to=$(sound_server_mark)
underruns=$(sound_server_underruns "$from" "$to")
passes=$(grep -c "pass" "$WORK/play.out" || true)
echo "practice run: $MINUTES min, $passes pass lines"
echo "underruns of the stream: $underruns"
echo "resident memory: $rss_first kB after the first minute, $rss_last kB at the end," \
  "$rss_max kB at most: growth $((rss_max - rss_first)) kB"
