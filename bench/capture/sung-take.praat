# A sung take with known pitch, made by Praat's KlattGrid (a source-filter voice): glottal
# pulses with flutter and breathiness, the formants of an open vowel, eight notes each
# scooped into from below, held with a vibrato of up to the given depth, joined by legato
# glides or by breaths (aspiration noise, no voicing).
#
#   praat --run sung-take.praat OUT.wav NOTES.txt SEED LOWEST_KEY VIBRATO_CENTS FLUTTER BREATH_DB
#
# FLUTTER (0 to 1) is KlattGrid's slow wobble of the glottal pulses' rate, which the truth does
# not hold; BREATH_DB the loudness of the breath noise mixed into the voice.
#
# NOTES.txt gets a line of column names, then one per note: start and end in ms, the MIDI key, and the truth: the mean
# of the pitch given to the voice over the note's middle 60 %, in cents from the key (the
# span the judge measures). Needs Praat (apt-get install praat).

form Sung take
  sentence Out_wav take.wav
  sentence Notes_file notes.txt
  integer Seed 1
  integer Lowest_key 48
  real Vibrato_cents 60
  real Flutter 0.15
  real Breath_dB 35
endform

random_initializeWithSeedUnsafelyButPredictably: seed
stepMs = 2
notes = 8
lead = 0.3
# The melody: steps of a major scale within a ninth above the lowest key.
scale# = {0, 2, 4, 5, 7, 9, 11, 12, 14}
degree = randomInteger (1, 5)
time = lead
for i to notes
  degree = max (1, min (9, degree + randomInteger (-2, 2)))
  key[i] = lowest_key + scale#[degree]
  length[i] = randomUniform (0.35, 0.9)
  # A breath before a third of the notes (none before the first, which has the lead-in).
  breath[i] = 0
  if i > 1 and randomUniform (0, 1) < 0.33
    breath[i] = randomUniform (0.15, 0.25)
  endif
  time += breath[i]
  start[i] = time
  time += length[i]
  finish[i] = time
  depth[i] = randomUniform (0.3, 1) * vibrato_cents
  rate[i] = randomUniform (5, 6.5)
  phase[i] = randomUniform (0, 2 * pi)
  scoop[i] = randomUniform (40, 150)
  scoopTime[i] = randomUniform (0.06, 0.14)
endfor
total = time + 0.4

kg = Create KlattGrid: "take", 0, total, 6, 1, 1, 6, 1, 1, 1
Add flutter point: 0, flutter
Add breathiness amplitude point: 0, breath_dB
# An open vowel, a little different from take to take.
f1 = randomUniform (600, 800)
f2 = randomUniform (1000, 1300)
Add oral formant frequency point: 1, 0, f1
Add oral formant bandwidth point: 1, 0, 80
Add oral formant frequency point: 2, 0, f2
Add oral formant bandwidth point: 2, 0, 90
Add oral formant frequency point: 3, 0, 2600
Add oral formant bandwidth point: 3, 0, 120
Add oral formant frequency point: 4, 0, 3300
Add oral formant bandwidth point: 4, 0, 200
Add oral formant frequency point: 5, 0, 4000
Add oral formant bandwidth point: 5, 0, 250

# Voicing: on through each run of legato notes, off (with aspiration) in the breaths.
Add voicing amplitude point: 0, 0
Add aspiration amplitude point: 0, 30
for i to notes
  if i = 1 or breath[i] > 0
    Add voicing amplitude point: start[i] - 0.03, 0
    Add voicing amplitude point: start[i], 90
    Add aspiration amplitude point: start[i], 0
  endif
  if i = notes or breath[min (i + 1, notes)] > 0
    Add voicing amplitude point: finish[i], 90
    Add voicing amplitude point: finish[i] + 0.03, 0
    Add aspiration amplitude point: finish[i] + 0.03, 40
  endif
endfor

# The pitch, a point every stepMs: each note from its scoop (or from the note before, legato)
# to its key, then a vibrato that sets in over 150 ms.
writeFileLine: notes_file$, "startMs endMs key truthCents"
for i to notes
  startCents = -scoop[i]
  if i > 1 and breath[i] = 0
    startCents = 100 * (key[i - 1] - key[i])
  endif
  centsSum = 0
  frames = 0
  judgedFrom = start[i] + 0.2 * length[i]
  judgedTo = finish[i] - 0.2 * length[i]
  t = start[i]
  while t < finish[i] - 0.00001
    into = t - start[i]
    if into < scoopTime[i]
      x = into / scoopTime[i]
      cents = startCents * (1 - x * x * (3 - 2 * x))
    else
      cents = 0
    endif
    onset = min (1, max (0, (into - 0.15) / 0.15))
    cents += onset * depth[i] * sin (2 * pi * rate[i] * into + phase[i])
    hz = 440 * 2 ^ ((key[i] + cents / 100 - 69) / 12)
    Add pitch point: t, hz
    if t >= judgedFrom and t < judgedTo
      centsSum += cents
      frames += 1
    endif
    t += stepMs / 1000
  endwhile
  appendFileLine: notes_file$, fixed$ (start[i] * 1000, 1), " ", fixed$ (finish[i] * 1000, 1),
  ... " ", key[i], " ", fixed$ (centsSum / frames, 3)
endfor

sound = To Sound
resampled = Resample: 44100, 50
Scale peak: 0.5
Save as WAV file: out_wav$
