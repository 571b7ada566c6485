#!/usr/bin/env bash
# What Tunwick costs while nothing sounds: the CPU time the program and a private PulseAudio
# server (tests/support/sound-server.sh) each take over a stretch of idle time, read from
# /proc (clock ticks, 10 ms each):
#   1. the window (offscreen) at start-up, the synthesizer open, nothing played;
#   2. after a play has ended: `tunwick play` of a few notes (3 s) followed by a long rest,
#      measured from 4 s after the last note on (the stream rests some 2.5 s after it; the
#      player's 10 ms tick still runs there, which the window after a play does not: an upper
#      bound);
#   3. the window on a virtual X display, driven with xdotool as a learner would: at start-up,
#      then after a few notes typed, 装入 and 演奏全部, from 4 s after the notes' end; and how
#      long after their end the stream rests (corked, as pactl shows it, polled every 0.1 s).
# The private server suspends its sink once every stream is corked, as a desktop's does.
#
#   bash bench/cli/idle-cost.sh [--seconds S]     (default 20)
#
# Needs the release build (build/release/cli/tunwick), the packages of scripts/setup.sh and,
# for the third part, xvfb-run and xdotool.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
TUNWICK="${TUNWICK:-$ROOT/build/release/cli/tunwick}"
SECONDS_IDLE=20
[ "${1:-}" = "--seconds" ] && SECONDS_IDLE=$2
# shellcheck source=../../tests/support/sound-server.sh
source "$ROOT/tests/support/sound-server.sh"

sound_bench_start
export QT_QPA_PLATFORM=offscreen
# As a desktop's server does: a sink whose streams are all corked suspends after a second.
pactl load-module module-suspend-on-idle timeout=1 >/dev/null

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
# measure LABEL PID: CPU of the program and the server over SECONDS_IDLE.
measure() {
  local app0 server0 app1 server1 hz
  hz=$(getconf CLK_TCK)
  app0=$(ticks "$2")
  server0=$(ticks "$SOUND_SERVER_PID")
  sleep "$SECONDS_IDLE"
  app1=$(ticks "$2")
  server1=$(ticks "$SOUND_SERVER_PID")
  printf '%s, %s s: tunwick %d ms, sound server %d ms\n' "$1" "$SECONDS_IDLE" \
    $(((app1 - app0) * 1000 / hz)) $(((server1 - server0) * 1000 / hz))
}

"$TUNWICK" >/dev/null 2>&1 &
APP_PID=$!
sleep 3
measure "window at start-up" "$APP_PID"
kill "$APP_PID"
wait "$APP_PID" 2>/dev/null || true

# A few notes, then 60 beats of rest at 100 a minute: 36 s.
printf 's=100,1,1,1,3,1,5,10,10,1111111111,0,1111111111,0,1111111111,0,1111111111,0,1111111111,0,1111111111,0\n' >"$WORK/rest.txt"
"$TUNWICK" play "$WORK/rest.txt" >/dev/null 2>&1 &
APP_PID=$!
# The notes last 3 s; from 4 s after their end.
sleep 7
measure "after a play has ended" "$APP_PID"

kill "$APP_PID"
wait "$APP_PID" 2>/dev/null || true
APP_PID=""

# The window on a virtual display. The measurements run inside xvfb-run, which ends with them
# (its shell passes no functions on: they go in with the script).
export SECONDS_IDLE TUNWICK SOUND_SERVER_PID WORK ROOT
{
  declare -f ticks measure
  cat <<'WINDOW'
set -u
source "$ROOT/tests/support/window-driver.sh"
window_start "$TUNWICK" "$WORK/window.err"
sleep 2
measure "window at start-up (X display)" "$WINDOW_PID"
window_click 7 275 567 134 # the edit box
xdotool key ctrl+a
xdotool type --delay 20 "s=100,1,1,1,3,1,5,10,10"
window_click 7 255 50 14 # 装入
window_click 77 25 50 14 # 演奏全部
pressed=${EPOCHREALTIME/./}
sleep 1
echo "  (caption while it plays: $(window_caption))"
# The notes end 3 s after the press; the stream rests once it is corked.
while [ $((${EPOCHREALTIME/./} - pressed)) -lt 7000000 ]; do
  if [ -z "${rested:-}" ] && pactl list sink-inputs | grep -q "Corked: yes"; then
    rested=$(((${EPOCHREALTIME/./} - pressed) / 1000 - 3000))
    echo "  the stream rests ${rested} ms after the notes' end"
  fi
  sleep 0.1
done
measure "window after a play has ended (X display)" "$WINDOW_PID"
kill "$WINDOW_PID"
wait "$WINDOW_PID" 2>/dev/null || true
WINDOW
} >"$WORK/window-idle.sh"
timeout 300 xvfb-run -a -s "-screen 0 1280x1024x24" bash "$WORK/window-idle.sh"
