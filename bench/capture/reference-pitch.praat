# The reference tracker: Praat's autocorrelation pitch (its standard settings, 5 ms steps,
# 75 to 600 Hz) of a take, and each note's mean over the middle 60 % of its span, in cents
# from its key: one line per note of NOTES.txt (as sung-take.praat writes it), "nan" where
# Praat found no voiced frame. Needs Praat (apt-get install praat).
#
#   praat --run reference-pitch.praat TAKE.wav NOTES.txt OUT.txt

form Reference pitch
  sentence Take_wav take.wav
  sentence Notes_file notes.txt
  sentence Out_file out.txt
endform

sound = Read from file: take_wav$
pitch = To Pitch (ac): 0.005, 75, 15, "no", 0.03, 0.45, 0.01, 0.35, 0.14, 600
notes = Read Table from whitespace-separated file: notes_file$
writeFileLine: out_file$, "# cents"
rows = Get number of rows
for row to rows
  selectObject: notes
  start = Get value: row, "startMs"
  finish = Get value: row, "endMs"
  key = Get value: row, "key"
  margin = 0.2 * (finish - start)
  selectObject: pitch
  semitones = Get mean: (start + margin) / 1000, (finish - margin) / 1000, "semitones re 440 Hz"
  if semitones = undefined
    appendFileLine: out_file$, "nan"
  else
    appendFileLine: out_file$, fixed$ (100 * (semitones + 69 - key), 3)
  endif
endfor
