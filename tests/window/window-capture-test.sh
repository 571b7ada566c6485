#!/usr/bin/env bash
# The window in sing-back when the microphone stops sending, driven as a learner would: a
# private PulseAudio server whose default input is a pipe source (tests/support/sound-server.sh),
# a virtual X display, and the window (tests/support/window-driver.sh). Each run types a
# phrase, presses 装入 and 跟唱模式, feeds the microphone a little noise, and when the caption
# says "请唱":
#   stall    the feed stops (its FIFO held open, nothing written); 暂停演奏, then 继续演奏
#   lost     the feed stays stopped through the take: a message box must show, the exercise
#            stopped (the picture of it goes to $WINDOW_CAPTURE_SHOT when that is set)
#   vanish   the pipe source is unloaded; 暂停演奏, then 继续演奏
# Each press must be answered within BOUND_MS: the caption changes, or a message box shows
# (the press is stamped when xdotool returns, the caption when xprop sees it change, the box
# by the program). Continue shows that the window still answers once the microphone is let
# go. Escape must then end the program within BOUND_MS. A program that does not is killed,
# with its threads' backtraces printed where gdb is installed. Exits 77 (skipped) where a
# tool or the soundfont is missing. WINDOW_CAPTURE_CASES chooses among the runs.
#
#   bash tests/window/window-capture-test.sh [TUNWICK]   (default: build/release/cli/tunwick)
set -uo pipefail

BOUND_MS=${BOUND_MS:-1000}
# The runs, in this order (vanish last: it unloads the microphone).
CASES=${WINDOW_CAPTURE_CASES:-stall lost vanish}
SOUNDFONT=/usr/share/sounds/sf2/TimGM6mb.sf2
# Eight crotchets at 120: the take lasts 4.3 s, long enough to press Pause within it.
PHRASE="s=120,1,1,1,2,1,3,1,4,1,5,1,6,1,5,1,3"

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
TUNWICK="$(realpath -m "${1:-$ROOT/build/release/cli/tunwick}")"
# shellcheck source=../support/sound-server.sh
source "$ROOT/tests/support/sound-server.sh"

[ -x "$TUNWICK" ] || { echo "no program at $TUNWICK" >&2; exit 2; }
for tool in xvfb-run xdotool xprop stdbuf pactl; do
  command -v "$tool" >/dev/null || sound_test_skip "$tool is not installed"
done
[ -r "$SOUNDFONT" ] || sound_test_skip "no soundfont at $SOUNDFONT"
if [ -n "${WINDOW_CAPTURE_SHOT:-}" ] && ! command -v import >/dev/null; then
  echo "import (ImageMagick) is needed for WINDOW_CAPTURE_SHOT" >&2
  exit 2
fi

WORK="$(mktemp -d)"
chmod 700 "$WORK"
cleanup() {
  sound_server_stop
  rm -rf "$WORK"
}
trap cleanup EXIT

SOUND_SERVER_MICROPHONE=1 sound_server_start "$WORK/server" || sound_test_skip "$SOUND_SERVER_ERROR"
export TUNWICK_SOUNDFONT="$SOUNDFONT" TUNWICK_AUDIO_DRIVER=pulseaudio
# Settings and the practice history go into the work folder, not the home folder.
export XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data"

cat >"$WORK/inside.sh" <<'INSIDE'
set -uo pipefail
driver=$1 program=$2 work=$3 phrase=$4 bound=$5 shot=$6 cases=$7
cd "$work" || exit 2
# xprop writes the caption as it is, and the clock reads with a point.
export LC_ALL=C.UTF-8
# shellcheck source=../support/window-driver.sh
source "$driver"
fifo=$work/server/source.fifo
failed=0
WATCH_PID="" WINDOW_PID=""

now_us() { echo "${EPOCHREALTIME/./}"; }
fail() {
  echo "FAILED: $*"
  failed=1
}

# The program's state: gone (exited or a zombie) or running.
gone() {
  local state
  state=$(awk '{ print $3 }' "/proc/$1/stat" 2>/dev/null) || return 0
  [ -z "$state" ] || [ "$state" = Z ]
}

# Ends the run: the caption watcher, and the program if it is still there, first showing
# where its threads wait.
finish() {
  [ -n "$WATCH_PID" ] && kill "$WATCH_PID" 2>/dev/null
  WATCH_PID=""
  [ -n "$WINDOW_PID" ] || return 0
  if ! gone "$WINDOW_PID"; then
    if command -v gdb >/dev/null; then
      echo "--- where the program waits"
      timeout -k 5 60 gdb -p "$WINDOW_PID" -batch -ex 'thread apply all bt' 2>/dev/null |
        grep -E '^(Thread|#)' | head -200
    fi
    kill -9 "$WINDOW_PID" 2>/dev/null
  fi
  wait "$WINDOW_PID" 2>/dev/null
  WINDOW_PID=""
  exec 3>&- 2>/dev/null
}

# Start-up is given time; a slow machine starts slowly.
start() {
  local name=$1
  CAPTIONS=$work/$name.captions
  WINDOW_START_TENTHS=600 window_start "$program" "$work/$name.err"
  if [ -z "${WINDOW:-}" ] || ! grep -q '^tunwick: ready' "$work/$name.err"; then
    fail "$name: the window did not show"
    cat "$work/$name.err"
    return 1
  fi
  # Every change of the caption, stamped when it is seen.
  stdbuf -oL xprop -spy -id "$WINDOW" _NET_WM_NAME 2>/dev/null |
    while IFS= read -r line; do printf '%s %s\n' "${EPOCHREALTIME/./}" "${line#*= }"; done \
      >"$CAPTIONS" &
  WATCH_PID=$!
  window_click 7 275 567 134 # the edit box
  xdotool key ctrl+a
  xdotool type --delay 20 "$phrase"
  window_click 7 255 50 14 # 装入
  exec 3>"$fifo"
  window_click 195 25 50 14 # 跟唱模式
  feed
  # The phrase plays first, then the cue; then it is the learner's turn.
  local deadline=$(($(now_us) + 60000000))
  until tail -n 1 "$CAPTIONS" | grep -q '请唱'; do
    if [ "$(now_us)" -gt "$deadline" ]; then
      fail "$name: the caption never said 请唱 (last: $(tail -n 1 "$CAPTIONS"))"
      return 1
    fi
    sleep 0.05
  done
  feed
  # The take has had its sound; from here it hears nothing more.
  sleep 0.5
}

# A tenth of a second of noise into the microphone.
feed() { head -c 8820 /dev/urandom >&3; }

# The window's answer to a press stamped PRESSED (microseconds): the first caption seen that
# differs from the one before the press, or the first message box the program reports (its
# own stamp, in nanoseconds), whichever came first; waits up to three bounds for one. Sets
# ANSWER_MS (0 when it came before xdotool returned) and ANSWER, what it was.
answer() {
  local pressed=$1 captions_seen=$2 errors=$3 errors_seen=$4 before line stamp="" what=""
  before=$(sed -n "${captions_seen}p" "$CAPTIONS" | cut -d' ' -f2-)
  local deadline=$((pressed + 3000 * bound))
  while [ "$(now_us)" -le "$deadline" ]; do
    line=$(tail -n +"$((captions_seen + 1))" "$CAPTIONS" | awk -v b="$before" \
      '{ c = $0; sub(/^[^ ]* /, "", c) } c != b { print; exit }')
    [ -n "$line" ] && stamp=${line%% *} what="caption ${line#* }"
    line=$(tail -n +"$((errors_seen + 1))" "$errors" | grep -m1 '^tunwick: message-box')
    if [ -n "$line" ]; then
      line=$((${line##* } / 1000))
      if [ -z "$stamp" ] || [ "$line" -lt "$stamp" ]; then stamp=$line what="a message box"; fi
    fi
    if [ -n "$stamp" ]; then
      ANSWER_MS=$(((stamp > pressed ? stamp - pressed : 0) / 1000))
      ANSWER="$what, $(((stamp - pressed) / 1000)) ms after xdotool returned"
      return 0
    fi
    sleep 0.01
  done
  return 1
}

# press NAME LABEL X Y W H: presses a button and measures the window's answer.
press() {
  local name=$1 label=$2 captions_seen errors_seen pressed
  shift 2
  captions_seen=$(wc -l <"$CAPTIONS")
  errors_seen=$(wc -l <"$work/$name.err")
  window_press "$@"
  pressed=$(now_us)
  if ! answer "$pressed" "$captions_seen" "$work/$name.err" "$errors_seen"; then
    fail "$name: no answer to $label within $((3 * bound)) ms (the window is frozen)"
    return 1
  fi
  echo "$name: $label answered in $ANSWER_MS ms ($ANSWER)"
  [ "$ANSWER_MS" -le "$bound" ] || fail "$name: $label answered in $ANSWER_MS ms (over $bound)"
}

# Pause, then Continue: the window that showed it paused must still answer, the microphone
# let go; Escape then ends the program during the take started afresh (or after the message
# that no microphone is there).
pause_continue_escape() {
  local name=$1
  press "$name" 暂停演奏 136 7 50 14 && press "$name" 继续演奏 77 7 50 14
  escape "$name"
}

# Presses Escape in the dialog, once no message box is up, and measures until the program
# has ended; waits up to ten bounds.
escape() {
  local name=$1 pressed ended id box
  local deadline=$(($(now_us) + 10000000))
  while [ "$(now_us)" -le "$deadline" ]; do
    box=""
    for id in $(xdotool search --onlyvisible --name '^Tunwick$'); do
      [ "$id" != "$WINDOW" ] && box=$id
    done
    [ -z "$box" ] && break
    sleep 0.05
  done
  xdotool windowfocus "$WINDOW" key Escape
  pressed=$(now_us)
  deadline=$((pressed + 10000 * bound))
  until gone "$WINDOW_PID"; do
    if [ "$(now_us)" -gt "$deadline" ]; then
      fail "$name: the program did not end within $((10 * bound)) ms of Escape"
      return
    fi
    sleep 0.01
  done
  ended=$(now_us)
  local ms=$(((ended - pressed) / 1000))
  echo "$name: Escape ended the program in $ms ms"
  [ "$ms" -le "$bound" ] || fail "$name: Escape ended the program in $ms ms (over $bound)"
}

# stall: the feed stops sending, the learner presses Pause.
if [[ " $cases " == *" stall "* ]] && start stall; then
  pause_continue_escape stall
fi
finish

# lost: the feed stays stopped through the take, the message box stays up.
WINDOW_BOXES=1
if [[ " $cases " == *" lost "* ]] && start lost; then
  deadline=$(($(now_us) + 30000000))
  until grep -q '^tunwick: message-box' "$work/lost.err"; do
    [ "$(now_us)" -gt "$deadline" ] && break
    sleep 0.05
  done
  box=""
  for id in $(xdotool search --onlyvisible --name '^Tunwick$'); do
    [ "$id" != "$WINDOW" ] && box=$id
  done
  if [ -z "$box" ]; then
    fail "lost: no message box within 30 s of a take that heard nothing"
  else
    echo "lost: a message box showed; caption: $(window_caption)"
    if [ -n "$shot" ]; then
      sleep 0.3 # its first paint done
      import -window root "$shot" && echo "lost: the screen is saved in $shot"
    fi
    case "$(window_caption)" in *请唱*) fail "lost: the exercise still listens" ;; esac
    xdotool windowfocus "$box" key Return
    sleep 0.3
    escape lost
  fi
fi
finish
WINDOW_BOXES=dismiss

# vanish: the microphone goes away, the learner presses Pause.
if [[ " $cases " == *" vanish "* ]] && start vanish; then
  module=$(pactl list short modules | awk '$2 == "module-pipe-source" { print $1 }')
  if pactl unload-module "$module"; then
    pause_continue_escape vanish
  else
    fail "vanish: the pipe source would not unload"
  fi
fi
finish
exit "$failed"
INSIDE

# The watchdog ends a run that hangs in spite of the kills above.
timeout -k 10 300 xvfb-run -a -s "-screen 0 2300x900x24" bash ${TRACE:+-x} "$WORK/inside.sh" \
  "$ROOT/tests/support/window-driver.sh" "$TUNWICK" "$WORK" "$PHRASE" "$BOUND_MS" \
  "${WINDOW_CAPTURE_SHOT:+$(realpath -m "$WINDOW_CAPTURE_SHOT")}" "$CASES"
status=$?
if [ "$status" -ne 0 ]; then
  echo "FAILED: the window did not answer as it should (status $status)"
  exit 1
fi
echo "PASSED: with a stalled and a vanished microphone the window answers Pause and Escape within $BOUND_MS ms"
