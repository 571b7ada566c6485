# Drives Tunwick's window on an X display with xdotool, as a learner would: sourced by the
# scripts that run inside xvfb-run (the screenshot scripts, bench/cli/idle-cost.sh,
# tests/window/window-capture-test.sh).
#
#   window_start PROGRAM STDERR   starts the window with its start-up boxes answered, waits
#                                 until it is shown and idle, and sets WINDOW_PID, WINDOW and
#                                 the window's X, Y, WIDTH and HEIGHT
#   window_click X Y W H          clicks the middle of a control given in dialog units (the
#                                 dialog is 581 x 416 of them)
#   window_caption                the window's title now
#   window_press X Y W H          clicks as window_click, returning as soon as the click is sent
#
# WINDOW_BOXES (default dismiss) is passed as TUNWICK_REPORT_READY: 1 leaves message boxes up
# (each still reported on the program's standard error). WINDOW_START_TENTHS (default 150)
# is how many tenths of a second window_start waits for the window.

window_start() {
  local program=$1 errors=$2
  QT_QPA_PLATFORM=xcb TUNWICK_REPORT_READY="${WINDOW_BOXES:-dismiss}" "$program" 2>"$errors" &
  WINDOW_PID=$!
  for _ in $(seq "${WINDOW_START_TENTHS:-150}"); do
    grep -q '^tunwick: ready' "$errors" 2>/dev/null && break
    sleep 0.1
  done
  WINDOW=$(xdotool search --name '^Tunwick$' | head -1)
  eval "$(xdotool getwindowgeometry --shell "$WINDOW")"
}

window_click() {
  xdotool mousemove "$((X + ($1 + $3 / 2) * WIDTH / 581))" "$((Y + ($2 + $4 / 2) * HEIGHT / 416))"
  xdotool click 1
  sleep 0.3
}

# One xdotool call, so that the moment it returns is the moment of the press.
window_press() {
  xdotool mousemove "$((X + ($1 + $3 / 2) * WIDTH / 581))" "$((Y + ($2 + $4 / 2) * HEIGHT / 416))" \
    click 1
}

window_caption() { xdotool getwindowname "$WINDOW" 2>/dev/null || true; }
