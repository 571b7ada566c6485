#!/usr/bin/env bash
# How soon the window answers with sound: on a virtual X display, with a private PulseAudio
# server whose pipe sink is captured (tests/support/sound-server.sh), 演奏全部 is pressed and,
# 1.5 s later, 暂停演奏, PRESSES times, each after the stream has rested; then again with two
# busy loops running beside it. Printed for each press: from the press (as xdotool starts)
# to the first sound above -40 dBFS in the capture, placed on the monotonic clock by the
# capture's read times, and the median. The presses are stamped with the shell's clock,
# mapped onto the monotonic clock once (a probe started for each press would come a hundred
# milliseconds late on a loaded machine). Also the latency the stream settled at (the buffer kept in the
# data folder) and the server's underrun lines.
#
#   bash bench/cli/press-to-sound.sh [TUNWICK] [TOOLS]   (defaults: build/release/cli/tunwick,
#                                                         build/release/bench/tools)
# Environment: PRESSES (default 5), SOUNDFONT (default TimGM6mb), TUNWICK_LATENCY_MS passes on.
set -uo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
TUNWICK="$(realpath -m "${1:-$ROOT/build/release/cli/tunwick}")"
TOOLS="$(realpath -m "${2:-$ROOT/build/release/bench/tools}")"
PRESSES=${PRESSES:-5}
SOUNDFONT=${SOUNDFONT:-/usr/share/sounds/sf2/TimGM6mb.sf2}
# shellcheck source=../../tests/support/sound-server.sh
source "$ROOT/tests/support/sound-server.sh"
for tool in xvfb-run xdotool; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 2; }
done

WORK="$(mktemp -d)"
trap 'busy_stop; sound_server_stop; [ -n "${KEEP_WORK:-}" ] || rm -rf "$WORK"' EXIT
sound_server_start "$WORK/server" "$TOOLS/tunwick_sound_probe" || { echo "$SOUND_SERVER_ERROR"; exit 1; }
export TUNWICK_SOUNDFONT="$SOUNDFONT" TUNWICK_AUDIO_DRIVER=pulseaudio
export XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data"
export TUNWICK TOOLS PRESSES WORK ROOT

# The presses run inside xvfb-run; the moments go to WORK/idle.moments and WORK/busy.moments.
cat >"$WORK/presses.sh" <<'PRESSES'
set -u
source "$ROOT/tests/support/window-driver.sh"
source "$ROOT/tests/support/sound-server.sh"
# The monotonic clock's offset from the shell's realtime one, in ns: the tightest of five.
offset=0 width=-1
for _ in 1 2 3 4 5; do
  before=${EPOCHREALTIME/./}
  mono=$("$TOOLS/tunwick_sound_probe" now)
  after=${EPOCHREALTIME/./}
  if [ "$width" -lt 0 ] || [ $((after - before)) -lt "$width" ]; then
    width=$((after - before))
    offset=$((mono - (before + after) * 500))
  fi
done
now() { echo $((${EPOCHREALTIME/./} * 1000 + offset)); }
presses() {
  for _ in $(seq "$PRESSES"); do
    # The press is stamped as xdotool starts: it returns only after the click's release (and
    # its own exit), which on a loaded machine can come after the sound.
    local pressed; pressed=$(now)
    window_press 77 25 50 14 # 演奏全部
    echo "xdotool took $((($(now) - pressed) / 1000000)) ms" >>"$WORK/xdotool.log"
    sleep 1.5
    window_press 136 7 50 14 # 暂停演奏
    echo "$pressed" >>"$WORK/$1.moments"
    sleep 3 # the stream rests
  done
}
window_start "$TUNWICK" "$WORK/window.err"
sleep 2
presses idle
busy_start 2
presses busy
busy_stop
# Closed as a learner closes it, so that the stream keeps the buffer it grew to.
xdotool key --window "$WINDOW" Escape
wait "$WINDOW_PID" 2>/dev/null
PRESSES
timeout 600 xvfb-run -a -s "-screen 0 1280x1024x24" bash "$WORK/presses.sh"
underruns=$(grep -cE "Implicit underrun of|Underrun on" "$WORK/server/server.log")
settled=$(cat "$WORK/data/tunwick/sound-buffer" 2>/dev/null || echo "-")
sound_server_stop

for load in idle busy; do
  [ -s "$WORK/$load.moments" ] || { echo "no presses ($load)"; continue; }
  read -r -a moments < <(tr '\n' ' ' <"$WORK/$load.moments")
  "$TOOLS/tunwick_sound_moments" "$WORK/server/capture.raw" "$WORK/server/capture.reads" \
    "${moments[@]}" >"$WORK/$load.heard"
  awk -v load="$load" '
    { press[++n] = $2 }
    function median(a, k,   i, j, t, b) {
      for (i = 1; i <= k; i++) b[i] = a[i]
      for (i = 1; i <= k; i++) for (j = i + 1; j <= k; j++) if (b[j] < b[i]) { t = b[i]; b[i] = b[j]; b[j] = t }
      return k % 2 ? b[(k + 1) / 2] : (b[k / 2] + b[k / 2 + 1]) / 2
    }
    END {
      line = ""; for (i = 1; i <= n; i++) line = line sprintf(" %.0f", press[i])
      printf "%s: press to sound (ms):%s; median %.0f\n", load, line, median(press, n)
    }' "$WORK/$load.heard"
done
echo "xdotool calls: $(sort -n -k3 "$WORK/xdotool.log" | awk '{a[NR]=$3} END {print a[1] "-" a[NR] " ms"}')"
echo "buffer kept: $settled frames; underrun lines in the server log: $underruns"
