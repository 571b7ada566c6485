#!/usr/bin/env bash
# Starts Tunwick on a virtual X display, waits until its window is shown and idle, and
# saves a picture of the screen as a PNG.
#   bash scripts/screenshot.sh [-d] OUT.png [PROGRAM]
# PROGRAM defaults to build/release/cli/tunwick. Without -d a start-up message box (no
# MIDI device, say) is what the picture shows; with -d such boxes are answered and the
# dialog is pictured. Variables for the program (such as TUNWICK_MIDI_DEVICE) pass
# through the environment.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

REPORT=1
if [ "${1:-}" = "-d" ]; then REPORT=dismiss; shift; fi
if [ $# -lt 1 ]; then
  echo "usage: $0 [-d] OUT.png [PROGRAM]" >&2
  exit 2
fi
OUT="$(realpath -m "$1")"
PROGRAM="$(realpath -m "${2:-$ROOT/build/release/cli/tunwick}")"
[ -x "$PROGRAM" ] || { echo "$0: no program at $PROGRAM (build the tunwick target first)" >&2; exit 1; }
for tool in xvfb-run import; do
  command -v "$tool" >/dev/null || { echo "$0: $tool is missing (bash scripts/setup.sh)" >&2; exit 1; }
done

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
chmod 700 "$WORK"

cat >"$WORK/inside.sh" <<'INSIDE'
set -u
program=$1 out=$2 work=$3 report=$4
cd "$work"
export XDG_RUNTIME_DIR="$work" TUNWICK_REPORT_READY="$report" QT_QPA_PLATFORM=xcb
"$program" 2>"$work/stderr" &
pid=$!
# Up to 15 s for the window; a start-up message box keeps it from being ready, and is
# then what the picture shows.
for _ in $(seq 150); do
  grep -q '^tunwick: ready' "$work/stderr" 2>/dev/null && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
sleep 0.5
import -window root "$out"
status=$?
grep -q '^tunwick: ready' "$work/stderr" || echo "screenshot: the window did not report ready (a message box?)" >&2
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
exit $status
INSIDE

xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" bash "$WORK/inside.sh" "$PROGRAM" "$OUT" "$WORK" "$REPORT"
echo "screenshot: $OUT"
