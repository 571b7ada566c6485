#!/usr/bin/env bash
# Pictures the window with its score view open while practice plays: a private PulseAudio
# server (tests/support/sound-server.sh) to play into, a virtual X display, and the window
# driven with xdotool as a learner would: the view opened (Ctrl+J), a score typed into the
# box, 装入, 练音模式; once the second pass (a semitone up) is sounding, the screen is saved.
#
#   bash scripts/score-view-screenshot.sh OUT.png [PROGRAM] [SCORE.txt]
#
# SCORE.txt, when given, is read into the box through 读入文件 (typing would lose its Chinese
# words): res/screenshots/score-view-words.png pictures tests/jianpu/data/jasmine.txt. Without
# it, a two-voice exercise is typed.
# The window's settings go to a folder of the script's own, so the learner's are untouched.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
[ $# -ge 1 ] || { echo "usage: $0 OUT.png [PROGRAM] [SCORE.txt]" >&2; exit 2; }
OUT="$(realpath -m "$1")"
PROGRAM="$(realpath -m "${2:-$ROOT/build/release/cli/tunwick}")"
SCORE="do=D,s=120,1,1,1,2,1,3,1,1,1,1,1,2,1,3,1,1|1,3,1,4,10,5,1,3,1,4,10,5|0.1,5,0.1,6,0.1,5,0.1,4,1,3,1,1,0.1,5,0.1,6,0.1,5,0.1,4,1,3,1,1|1,1,1,0.5,10,1,1,1,1,0.5,10,1 &1,3,1,0.7,10,0.5,1,3,1,0.7,10,0.5"
SCORE_FILE="${3:+$(realpath "$3")}"
[ -x "$PROGRAM" ] || { echo "$0: no program at $PROGRAM (build the tunwick target first)" >&2; exit 1; }
for tool in xvfb-run import convert xdotool; do
  command -v "$tool" >/dev/null || { echo "$0: $tool is missing (bash scripts/setup.sh)" >&2; exit 1; }
done

# shellcheck source=../tests/support/sound-server.sh
source "$ROOT/tests/support/sound-server.sh"
WORK="$(mktemp -d)"
chmod 700 "$WORK"
trap 'sound_server_stop; rm -rf "$WORK"' EXIT
sound_server_start "$WORK/server" || { echo "$0: $SOUND_SERVER_ERROR" >&2; exit 1; }
export TUNWICK_AUDIO_DRIVER=pulseaudio XDG_CONFIG_HOME="$WORK/config"

cat >"$WORK/inside.sh" <<'INSIDE'
set -u
driver=$1
shift
program=$1 out=$2 work=$3 score=$4 file=$5
cd "$work"
# shellcheck source=../tests/support/window-driver.sh
source "$driver"
window_start "$program" "$work/stderr"
window_click 7 275 567 134                    # the edit box
xdotool key ctrl+j                     # the score view
sleep 0.3
if [ -n "$file" ]; then
  window_click 149 255 50 14                  # 读入文件, then the file's path in its dialog
  sleep 1
  xdotool type --delay 5 "$file"
  xdotool key Return
  sleep 1
else
  window_click 7 275 567 134
  xdotool key ctrl+a
  xdotool type --delay 5 "$score"
fi
sleep 0.5
window_click 7 255 50 14                      # 装入
window_click 19 7 50 14                       # 练音模式
for _ in $(seq 400); do
  case "$(window_caption)" in *"升 1 半音"*) break ;; esac
  sleep 0.05
done
sleep 3.2
import -window root "$out"
kill "$WINDOW_PID" 2>/dev/null || true
wait "$WINDOW_PID" 2>/dev/null || true
INSIDE

xvfb-run -a -s "-screen 0 2000x900x24 -dpi 96" bash ${TRACE:+-x} "$WORK/inside.sh" "$ROOT/tests/support/window-driver.sh" "$PROGRAM" "$OUT" \
  "$WORK" "$SCORE" "$SCORE_FILE"
# Only the windows, not the empty screen around them.
convert "$OUT" -trim +repage "$OUT"
echo "saved $OUT"
