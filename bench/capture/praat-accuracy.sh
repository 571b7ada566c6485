#!/bin/bash
# Per-note pitch accuracy against the truth, beside a reference tracker: takes sung by
# Praat's KlattGrid (sung-take.praat: glottal pulses with flutter and breath, formants,
# scoops, vibrato up to ±90 cents, legato glides and breaths) with the pitch they were given
# known; each note's cents as Tunwick's judge gives them (tunwick_note_cents) and as Praat's
# autocorrelation pitch gives them (reference-pitch.praat), over the same spans; then the
# 50th and 90th percentile of |error| against the truth for both.
#
#   bash bench/capture/praat-accuracy.sh [TAKES_PER_VOICE [FLUTTER [BREATH_DB]]]
#       (defaults 6, 0.15 and 35; 0.4 and 50 make a rougher, breathier voice)
#
# Needs Praat (apt-get install praat) and the release build (build/release). Praat is used
# here only, never by the program or its tests.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BENCH="$ROOT/bench/capture"
NOTE_CENTS="${TUNWICK_NOTE_CENTS:-$ROOT/build/release/bench/capture/tunwick_note_cents}"
PER_VOICE="${1:-6}"
FLUTTER="${2:-0.15}"
BREATH_DB="${3:-35}"

command -v praat > /dev/null || { echo "praat-accuracy: needs Praat: apt-get install praat" >&2; exit 1; }
[ -x "$NOTE_CENTS" ] || { echo "praat-accuracy: build $NOTE_CENTS first" >&2; exit 1; }

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

# Voices by their lowest key: bass E2, tenor C3, alto G3, soprano D4; vibrato 30 to 90 cents.
: > "$WORK/errors.txt"
seed=0
for lowest in 40 48 55 62; do
  for ((i = 0; i < PER_VOICE; ++i)); do
    seed=$((seed + 1))
    vibrato=$((30 + 30 * (i % 3)))
    take="$WORK/take-$seed.wav"
    notes="$WORK/notes-$seed.txt"
    praat --run "$BENCH/sung-take.praat" "$take" "$notes" "$seed" "$lowest" "$vibrato" \
      "$FLUTTER" "$BREATH_DB"
    praat --run "$BENCH/reference-pitch.praat" "$take" "$notes" "$WORK/praat-$seed.txt"
    "$NOTE_CENTS" "$take" "$notes" > "$WORK/ours-$seed.txt"
    # truth, Praat's and ours, note by note: the voice, then each error against the truth.
    paste <(tail -n +2 "$notes" | awk '{print $4}') <(tail -n +2 "$WORK/praat-$seed.txt") \
      "$WORK/ours-$seed.txt" |
      awk -v voice="$lowest" '{print voice, $2 - $1, $3 - $1}' >> "$WORK/errors.txt"
  done
done

# The percentiles of |error| (a note a tracker did not hear counts as an error of 1200 cents).
percentiles() {
  awk -v column="$1" '{ e = $column; if (e != e + 0) e = 1200; print (e < 0 ? -e : e) }' \
    "$WORK/errors.txt" | sort -g |
    awk '{ v[NR] = $1 } END { printf "p50 %.2f  p90 %.2f  max %.2f cents (%d notes)\n",
          v[int(NR * 0.5 + 0.5)], v[int(NR * 0.9 + 0.5)], v[NR], NR }'
}
echo "Per-note cents against the truth, $(wc -l < "$WORK/errors.txt") notes in $seed takes" \
  "(flutter $FLUTTER, breath $BREATH_DB dB):"
printf '  Tunwick:              %s\n' "$(percentiles 3)"
printf '  Praat (reference):    %s\n' "$(percentiles 2)"
for lowest in 40 48 55 62; do
  awk -v voice="$lowest" '$1 == voice' "$WORK/errors.txt" > "$WORK/voice.txt"
  cp "$WORK/errors.txt" "$WORK/all.txt"
  cp "$WORK/voice.txt" "$WORK/errors.txt"
  printf '  lowest key %d: Tunwick %s; Praat %s\n' "$lowest" "$(percentiles 3)" "$(percentiles 2)"
  cp "$WORK/all.txt" "$WORK/errors.txt"
done
