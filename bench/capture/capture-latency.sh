#!/usr/bin/env bash
# From a sound entering the microphone to its pitch on the sing-back panel. A private
# PulseAudio server's default input is a pipe source (tests/support/sound-server.sh); the take
# probe writes a 220 Hz tone into it every second, at the pace of the clock, noting when each
# tone's first sample went in; tunwick_capture_latency captures the default input as the
# window does and polls the ear at the panel's interval, noting when each tone's pitch first
# shows. Printed: the delay of each tone, median, p90 and max.
#
#   bash bench/capture/capture-latency.sh [--tones N]   (default 30)
#
# Needs the release build with its tests (build/release) and the packages of scripts/setup.sh.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
PROBE="$ROOT/build/release/bench/tools/tunwick_take_probe"
LATENCY="$ROOT/build/release/bench/capture/tunwick_capture_latency"
TONES=30
while [ $# -gt 0 ]; do
  case "$1" in
    --tones) TONES=$2; shift 2 ;;
    *) echo "usage: $0 [--tones N]" >&2; exit 2 ;;
  esac
done
for f in "$PROBE" "$LATENCY"; do
  [ -x "$f" ] || { echo "$0: no $f (build the release tree with its tests)" >&2; exit 1; }
done

# shellcheck source=../../tests/support/sound-server.sh
source "$ROOT/tests/support/sound-server.sh"
WORK="$(mktemp -d)"
cleanup() {
  sound_server_stop
  rm -rf "$WORK"
}
trap cleanup EXIT
SOUND_SERVER_MICROPHONE=1 sound_server_start "$WORK/server" || {
  echo "$0: $SOUND_SERVER_ERROR" >&2
  exit 1
}

EVERY_MS=1000
"$LATENCY" --hz 220 --seconds "$((TONES * EVERY_MS / 1000 + 1))" >"$WORK/shown.txt" &
listener=$!
# The listener's stream is open before the first tone goes in.
sleep 0.5
# Silence goes on after the last tone until the listener has closed its stream (a recording
# stream whose input stops would not close), then the server may stop reading the pipe.
"$PROBE" tone "$WORK/server/source.fifo" --hz 220 --every "$EVERY_MS" --length 400 \
  --count "$TONES" --log "$WORK/written.txt" --tail 3000 &
writer=$!
wait "$listener"
kill "$writer" 2>/dev/null || true
wait "$writer" 2>/dev/null || true

# Each tone against the first showing of its pitch after it went in.
awk 'NR == FNR { shown[++n] = $1; next }
     { while (i < n && shown[i + 1] < $1) i++
       if (i < n) { d = (shown[i + 1] - $1) / 1e6; print d; i++ } }' \
  "$WORK/shown.txt" "$WORK/written.txt" | sort -n >"$WORK/delays.txt"
count=$(wc -l <"$WORK/delays.txt")
[ "$count" -gt 0 ] || { echo "$0: no tone was heard" >&2; exit 1; }
awk -v tones="$TONES" '{ d[NR] = $1 }
  END {
    p = int(0.9 * NR + 0.999); if (p < 1) p = 1
    printf "tones heard: %d of %d\n", NR, tones
    printf "sound in to pitch on the panel: median %.1f ms, p90 %.1f ms, max %.1f ms, min %.1f ms\n",
      d[int((NR + 1) / 2)], d[p], d[NR], d[1]
  }' "$WORK/delays.txt"
