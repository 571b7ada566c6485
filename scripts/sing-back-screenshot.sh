#!/usr/bin/env bash
# Pictures the sing-back panel after a judged try, with a take piped in as the microphone:
# a private PulseAudio server (tests/support/sound-server.sh) whose default input is a pipe
# source, a virtual X display, and the window driven with xdotool as a learner would: the
# phrase typed into the box, 装入, 跟唱模式; when the caption says "请唱" the take goes into the
# microphone, and once it has been judged the screen is saved as a PNG.
#
#   bash scripts/sing-back-screenshot.sh OUT.png [PROGRAM]
#
# The take is the phrase sung by the synthesizer's Voice Oohs with the second note 30 cents
# sharp and the fourth 150 (build/release/bench/tools/tunwick_take_probe makes it). Needs
# the release build with its tests, the packages of scripts/setup.sh, and xdotool.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
[ $# -ge 1 ] || { echo "usage: $0 OUT.png [PROGRAM]" >&2; exit 2; }
OUT="$(realpath -m "$1")"
PROGRAM="$(realpath -m "${2:-$ROOT/build/release/cli/tunwick}")"
PROBE="$ROOT/build/release/bench/tools/tunwick_take_probe"
SOUNDFONT=/usr/share/sounds/sf2/TimGM6mb.sf2
PHRASE="s=100,1,1,1,2,1,3,1,5,1,6"
BENDS="0,30,0,150,0"
for f in "$PROGRAM" "$PROBE"; do
  [ -x "$f" ] || { echo "$0: no $f (build the release tree with its tests)" >&2; exit 1; }
done
for tool in xvfb-run import xdotool; do
  command -v "$tool" >/dev/null || { echo "$0: $tool is missing (apt-get install $tool)" >&2; exit 1; }
done

# shellcheck source=../tests/support/sound-server.sh
source "$ROOT/tests/support/sound-server.sh"
WORK="$(mktemp -d)"
chmod 700 "$WORK"
trap 'sound_server_stop; rm -rf "$WORK"' EXIT
printf '%s' "$PHRASE" >"$WORK/phrase.txt"
"$PROBE" take "$WORK/phrase.txt" "$WORK/take.wav" --cents "$BENDS" --soundfont "$SOUNDFONT"
SOUND_SERVER_MICROPHONE=1 sound_server_start "$WORK/server" || {
  echo "$0: $SOUND_SERVER_ERROR" >&2
  exit 1
}
export TUNWICK_SOUNDFONT="$SOUNDFONT" TUNWICK_AUDIO_DRIVER=pulseaudio

cat >"$WORK/inside.sh" <<'INSIDE'
set -u
driver=$1
shift
program=$1 probe=$2 out=$3 work=$4 phrase=$5
cd "$work"
# shellcheck source=../tests/support/window-driver.sh
source "$driver"
window_start "$program" "$work/stderr"
window_click 7 275 567 134                    # the edit box
xdotool key ctrl+a
xdotool type --delay 20 "$phrase"
window_click 7 255 50 14                      # 装入
window_click 195 25 50 14                     # 跟唱模式
# The microphone sings the take when the caption says it is the learner's turn.
{
  for _ in $(seq 300); do
    case "$(window_caption)" in *请唱*) echo "sing"; break ;; esac
    sleep 0.05
  done
  # Held open until the try has been judged, so that the microphone keeps its input.
  for _ in $(seq 300); do
    case "$(window_caption)" in *请唱*) sleep 0.05 ;; *) break ;; esac
  done
  sleep 1
} | "$probe" feed "$work/server/source.fifo" "$work/take.wav" --on sing >/dev/null
import -window root "$out"
kill "$WINDOW_PID" 2>/dev/null || true
wait "$WINDOW_PID" 2>/dev/null || true
INSIDE

xvfb-run -a -s "-screen 0 2300x900x24" bash ${TRACE:+-x} "$WORK/inside.sh" "$ROOT/tests/support/window-driver.sh" "$PROGRAM" "$PROBE" "$OUT" "$WORK" \
  "$PHRASE"
echo "saved $OUT"
