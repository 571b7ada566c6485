#!/usr/bin/env bash
# What the soundfont costs: for FluidR3_GM (148 MB, package fluid-soundfont-gm) and TimGM6mb
# (6 MB, installed by the set-up), the window's launch to ready and peak memory
# (bench/cli/startup.sh, with TUNWICK_SOUNDFONT set), and the time and peak memory of
# `tunwick render` of a single note, over RUNS renders.
#
#   bash bench/cli/soundfonts.sh [RUNS]   (default 5; startup.sh gets 2 × RUNS launches)
#
# FluidR3_GM is taken from /usr/share/sounds/sf2 where the package is installed; elsewhere
# its package is downloaded with apt-get into build/bench-cache and unpacked there, without
# installing it (installed, it would become the default soundfont of every program).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
TUNWICK="$ROOT/build/release/cli/tunwick"
RUNS="${1:-5}"
[ -x "$TUNWICK" ] || { echo "$0: no program at $TUNWICK" >&2; exit 1; }

FLUID=/usr/share/sounds/sf2/FluidR3_GM.sf2
if [ ! -r "$FLUID" ]; then
  CACHE="$ROOT/build/bench-cache"
  FLUID="$CACHE/usr/share/sounds/sf2/FluidR3_GM.sf2"
  if [ ! -r "$FLUID" ]; then
    mkdir -p "$CACHE"
    (cd "$CACHE" && apt-get download fluid-soundfont-gm && dpkg-deb -x fluid-soundfont-gm_*.deb .)
  fi
fi
TIM=/usr/share/sounds/sf2/TimGM6mb.sf2

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
printf 's=100,1,1' >"$WORK/note.txt"  # one note of one beat

for soundfont in "$FLUID" "$TIM"; do
  echo "==== $(basename "$soundfont") ($(( $(stat -c %s "$soundfont") / 1048576 )) MB)"
  TUNWICK_SOUNDFONT="$soundfont" bash "$ROOT/bench/cli/startup.sh" "$TUNWICK" $((2 * RUNS)) 1 |
    grep -v -e '^  [A-Za-z]' -e '^idle wake-ups' || true
  times=() peaks=()
  for _ in $(seq "$RUNS"); do
    start=$(date +%s%N)
    TUNWICK_SOUNDFONT="$soundfont" /usr/bin/time -f '%M' -o "$WORK/peak" \
      "$TUNWICK" render "$WORK/note.txt" "$WORK/note.wav" >/dev/null 2>&1
    times+=($((($(date +%s%N) - start) / 1000000)))
    peaks+=($(($(tail -1 "$WORK/peak") / 1024)))
  done
  sorted=($(printf '%s\n' "${times[@]}" | sort -n))
  echo "render one note over $RUNS runs (ms): median ${sorted[$((RUNS / 2))]}, all ${times[*]};" \
    "peak memory (MB): ${peaks[*]}"
done
