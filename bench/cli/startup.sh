#!/usr/bin/env bash
# Measures the program on a virtual X display:
#   1. launch to ready: from exec to the dialog shown, painted and idle (the MIDI device opens
#      behind it, once it has been painted: with "quit" the dialog may close before the
#      device has opened), over RUNS launches, and the peak memory (maximum resident set,
#      from /usr/bin/time) of each launch. Where the device cannot be opened
#      (no sound output on the machine), the start-up box is answered at once and the time
#      until it showed is given as well;
#   2. idle wake-ups: context switches per second of each thread while the dialog sits
#      idle with nothing playing (the window thread should not wake at all).
# Where PulseAudio is installed, the program plays into a private PulseAudio server
# (tests/support/sound-server.sh), so that the device opens as on a desktop. The soundfont is the
# program's own choice, or TUNWICK_SOUNDFONT (bench/cli/soundfonts.sh runs it with two).
#   bash bench/cli/startup.sh [PROGRAM] [RUNS] [IDLE_SECONDS]
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
PROGRAM="$(realpath -m "${1:-$ROOT/build/release/cli/tunwick}")"
RUNS="${2:-10}"
IDLE="${3:-5}"
[ -x "$PROGRAM" ] || { echo "$0: no program at $PROGRAM" >&2; exit 1; }

WORK="$(mktemp -d)"
chmod 700 "$WORK"
# shellcheck source=../../tests/support/sound-server.sh
source "$ROOT/tests/support/sound-server.sh"
trap 'sound_server_stop; rm -rf "$WORK"' EXIT
if command -v pulseaudio >/dev/null; then
  if sound_server_start "$WORK/server"; then
    echo "sound: a private PulseAudio server"
  else
    echo "sound: none ($SOUND_SERVER_ERROR)"
  fi
fi
echo "soundfont: ${TUNWICK_SOUNDFONT:-as the program chooses}"

cat >"$WORK/inside.sh" <<'INSIDE'
set -u
program=$1 runs=$2 idle=$3 work=$4
cd "$work"
export XDG_RUNTIME_DIR="$work" QT_QPA_PLATFORM=xcb

# Wait for the X server to answer before timing anything.
sleep 0.5

summary() {
  local label=$1; shift
  local sorted=($(printf '%s\n' "$@" | sort -n))
  local n=${#sorted[@]}
  echo "$label over $n runs: min ${sorted[0]}, median ${sorted[$((n / 2))]}, max ${sorted[$((n - 1))]}"
  echo "  all: $*"
}

times=() boxes=() peaks=()
for i in $(seq "$runs"); do
  start=$(date +%s%N)
  TUNWICK_REPORT_READY=quit /usr/bin/time -f %M -o "$work/peak" "$program" \
    2>"$work/run.err" >/dev/null || true
  ready=$(sed -n 's/^tunwick: ready \([0-9]*\)$/\1/p' "$work/run.err" | head -1)
  box=$(sed -n 's/^tunwick: message-box \([0-9]*\)$/\1/p' "$work/run.err" | head -1)
  if [ -z "$ready" ]; then
    echo "run $i: no ready report (stderr follows)"; cat "$work/run.err"; exit 1
  fi
  times+=($(( (ready - start) / 1000000 )))
  [ -n "$box" ] && boxes+=($(( (box - start) / 1000000 )))
  peaks+=($(( $(tail -1 "$work/peak") / 1024 )))
done
if [ ${#boxes[@]} -gt 0 ]; then
  summary "launch to start-up message box, device not opened (ms)" "${boxes[@]}"
  summary "launch to ready, the box answered at once (ms)" "${times[@]}"
else
  summary "launch to ready (ms)" "${times[@]}"
fi
summary "peak memory, maximum resident set (MB)" "${peaks[@]}"

TUNWICK_REPORT_READY=dismiss "$program" 2>"$work/idle.err" >/dev/null &
pid=$!
for _ in $(seq 100); do grep -q '^tunwick: ready' "$work/idle.err" && break; sleep 0.1; done
sleep 1
declare -A before
for task in /proc/$pid/task/*; do
  tid=${task##*/}
  before[$tid]=$(awk '/ctxt_switches/ {s += $2} END {print s}' "$task/status")
done
sleep "$idle"
echo "idle wake-ups over ${idle} s (context switches per second, by thread):"
for task in /proc/$pid/task/*; do
  tid=${task##*/}
  now=$(awk '/ctxt_switches/ {s += $2} END {print s}' "$task/status")
  was=${before[$tid]:-0}
  name=$(cat "$task/comm")
  role=""; [ "$tid" = "$pid" ] && role=" (window thread)"
  awk -v d=$((now - was)) -v s="$idle" -v n="$name" -v r="$role" \
    'BEGIN {printf "  %-16s %8.1f /s%s\n", n, d / s, r}'
done
kill "$pid"; wait "$pid" 2>/dev/null || true
INSIDE

xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" bash "$WORK/inside.sh" "$PROGRAM" "$RUNS" "$IDLE" "$WORK"
