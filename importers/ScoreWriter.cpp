#include "importers/ScoreWriter.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "files/ScoreTextFile.h"
#include "importers/NoteTokens.h"
#include "importers/SongWordsText.h"
#include "notation/Phrase.h"
#include "notation/Score.h"

namespace importers {

namespace {

constexpr int kDefaultPhraseBars = 4;

// A note on the grid: a melody note with the keys sounding with it, or a rest.
struct GridNote {
  long start = 0;
  long end = 0;
  int key = kRestKey;
  std::vector<int> chordKeys;  // below the melody note, sounding with it
  const ImportedNote* source = nullptr;
};

// A phrase's share of one voice: its notes in order, gaps filled with rests.
struct WrittenNote {
  long ticks = 0;
  int key = kRestKey;
  std::vector<int> chordKeys;
  const ImportedNote* source = nullptr;
  bool held = false;  // the rest of a note split at a phrase break
};

class CLossList {
 public:
  void Add(int bar, const std::string& what) {
    if (seen_.insert({bar, what}).second) losses_.push_back({bar, what});
  }
  std::vector<ImportLoss> Take() {
    std::stable_sort(losses_.begin(), losses_.end(),
                     [](const ImportLoss& a, const ImportLoss& b) { return a.bar < b.bar; });
    return losses_;
  }

 private:
  std::set<std::pair<int, std::string>> seen_;
  std::vector<ImportLoss> losses_;
};

// The notes of a voice on the grid, one line of melody notes with their chords.
std::vector<GridNote> GridLine(const ImportedVoice& voice, bool melodyOnly, CLossList& losses) {
  std::vector<const ImportedNote*> notes;
  for (const ImportedNote& note : voice.notes) notes.push_back(&note);
  std::stable_sort(notes.begin(), notes.end(), [](const ImportedNote* a, const ImportedNote* b) {
    return a->start < b->start;
  });
  std::vector<GridNote> line;
  for (const ImportedNote* note : notes) {
    GridNote grid{
        SnapToGrid(note->start), SnapToGrid(note->start + note->length), note->key, {}, note};
    const double moved = std::fabs(grid.start / double(kTicksPerBeat) - note->start) +
                         std::fabs(grid.end / double(kTicksPerBeat) - note->start - note->length);
    if (grid.end <= grid.start) {
      if (note->key != kRestKey) losses.Add(note->bar, "a note shorter than the grid left out");
      continue;
    }
    if (moved > 1e-3 && note->key != kRestKey)
      losses.Add(note->bar, "a note moved to the grid of sixteenths and triplets");
    if (!line.empty() && line.back().start == grid.start) {
      GridNote& chord = line.back();
      if (grid.key == kRestKey) continue;  // a rest under a note: the note
      if (chord.key == kRestKey) {
        chord = grid;
        continue;
      }
      const int lower = std::min(chord.key, grid.key);
      chord.key = std::max(chord.key, grid.key);
      if (chord.key == grid.key) chord.source = note, chord.end = grid.end;
      if (!melodyOnly && lower != chord.key &&
          std::find(chord.chordKeys.begin(), chord.chordKeys.end(), lower) == chord.chordKeys.end())
        chord.chordKeys.push_back(lower);
      continue;
    }
    if (!line.empty() && line.back().end > grid.start) {
      losses.Add(line.back().source->bar, "an overlapping note shortened");
      line.back().end = grid.start;
    }
    line.push_back(grid);
  }
  return line;
}

// The phrase starts moved past a melody note held over them (a note tied over the end of a
// line of music), so that the melody sounds each note once; a start that meets the next goes.
std::vector<long> MelodyWhole(const std::vector<long>& starts, const std::vector<GridNote>& melody,
                              long end) {
  std::vector<long> moved{0};
  auto note = melody.begin();
  for (size_t i = 1; i < starts.size(); ++i) {
    long start = starts[i];
    while (note != melody.end() && note->end <= start) ++note;
    if (note != melody.end() && note->start < start && note->key != kRestKey) start = note->end;
    if (start < end && start > moved.back() && Writable(start - moved.back()))
      moved.push_back(start);
  }
  while (moved.size() > 1 && !Writable(end - moved.back())) moved.pop_back();
  return moved;
}

// The pieces of a phrase's voice, each of a length the notation can write: a piece of one,
// two or five ticks (where a sixteenth and a twelfth of a beat meet) joins the one after it,
// the last the ones before it.
std::vector<WrittenNote> WritablePieces(std::vector<WrittenNote> pieces, CLossList& losses) {
  std::vector<WrittenNote> out;
  long carry = 0;
  for (WrittenNote& piece : pieces) {
    piece.ticks += carry;
    carry = 0;
    if (!Writable(piece.ticks)) {
      carry = piece.ticks;
      if (piece.key != kRestKey && !piece.held)
        losses.Add(piece.source->bar, "a note shorter than the grid left out");
      continue;
    }
    out.push_back(std::move(piece));
  }
  if (carry > 0) {
    if (out.empty())
      out.push_back({carry, kRestKey, {}, nullptr, false});
    else
      out.back().ticks += carry;
  }
  while (out.size() > 1 && !Writable(out.back().ticks)) {
    const long ticks = out.back().ticks;
    out.pop_back();
    out.back().ticks += ticks;
  }
  return out;
}

// The notes of `line` within [from, to), rests between, notes split at the edges.
std::vector<WrittenNote> Slice(const std::vector<GridNote>& line, long from, long to,
                               CLossList& losses) {
  std::vector<WrittenNote> out;
  long at = from;
  auto rest = [&](long until) {
    if (until > at) out.push_back({until - at, kRestKey, {}, nullptr, false});
    at = std::max(at, until);
  };
  auto first = std::lower_bound(line.begin(), line.end(), from,
                                [](const GridNote& note, long t) { return note.end <= t; });
  for (auto it = first; it != line.end() && it->start < to; ++it) {
    const long start = std::max(it->start, from);
    const long end = std::min(it->end, to);
    if (end <= start) continue;
    rest(start);
    const bool held = it->start < from;
    if (it->end > to && it->key != kRestKey)
      losses.Add(it->source->bar, "a note held over a phrase break sounds again");
    out.push_back(
        {end - start, it->key, held ? std::vector<int>{} : it->chordKeys, it->source, held});
    at = end;
  }
  rest(to);
  return WritablePieces(std::move(out), losses);
}

template <typename Mark, typename Value>
Value At(const std::vector<Mark>& marks, double beat, Value fallback, Value Mark::*field) {
  Value value = fallback;
  for (const Mark& mark : marks)
    if (mark.beat <= beat + 1e-6) value = mark.*field;
  return value;
}

int BarAt(const ImportedSong& song, double beat) {
  return At(song.bars, beat, 1, &BarMark::number);
}

// Where phrases begin, in ticks, 0 first, each before `end`.
std::vector<long> PhraseStarts(const ImportedSong& song, const ImportedPart& melody,
                               const ImportOptions& options, long end) {
  std::vector<double> beats;
  const int every = options.phraseBars > 0 ? options.phraseBars : kDefaultPhraseBars;
  if (options.phraseBars == 0 && !melody.phraseStarts.empty()) {
    beats = melody.phraseStarts;
  } else {
    size_t first = 0;  // the first full bar: a pickup joins the first phrase
    while (first < song.bars.size() && song.bars[first].beat < song.pickupBeats - 1e-6) ++first;
    for (size_t i = first + every; i < song.bars.size(); i += every)
      beats.push_back(song.bars[i].beat);
  }
  std::set<long> ticks;
  for (const double beat : beats) ticks.insert(SnapToGrid(beat));
  // Each phrase a length the notation can write: a start too close to the one before goes.
  std::vector<long> starts{0};
  for (const long tick : ticks)
    if (tick > 0 && tick < end && Writable(tick - starts.back())) starts.push_back(tick);
  while (starts.size() > 1 && !Writable(end - starts.back())) starts.pop_back();
  return starts;
}

// One voice's numbers for a phrase; `count` gains the numbers written, `slots` the sounding
// notes (only for the first voice).
std::string VoiceNumbers(const std::vector<WrittenNote>& notes, int fifths, int& count,
                         std::vector<WordSlot>* slots, CLossList& losses) {
  std::string text;
  auto pair = [&](const std::string& length, const std::string& degree) {
    if (!text.empty()) text += ',';
    text += length + "," + degree;
    count += 2;
  };
  for (const WrittenNote& note : notes) {
    const std::vector<std::string> lengths = LengthTokens(note.ticks);
    if (note.key == kRestKey) {
      for (const std::string& length : lengths) pair(length, "0");
      continue;
    }
    const std::string degree = DegreeToken(note.key, fifths);
    for (const int chordKey : note.chordKeys) pair("0", DegreeToken(chordKey, fifths));
    if (lengths.size() > 1)
      losses.Add(note.source->bar, "a note whose length needs two numbers sounds twice");
    for (size_t i = 0; i < lengths.size(); ++i) {
      pair(lengths[i], degree);
      if (slots != nullptr) slots->push_back({note.source, note.held || i > 0});
    }
  }
  return text;
}

struct PhraseText {
  std::string full;    // every voice
  std::string melody;  // the first voice alone
  int bar = 0;         // the bar it begins in
};

}  // namespace

WrittenScore WriteScoreText(const ImportedSong& song, const ImportOptions& options) {
  if (options.part < 0 || options.part > static_cast<int>(song.parts.size()))
    throw ImportError("there is no part " + std::to_string(options.part) + ": the song has " +
                      std::to_string(song.parts.size()));
  CLossList losses;
  for (const ImportLoss& loss : song.losses) losses.Add(loss.bar, loss.what);
  WrittenScore written;
  if (song.parts.empty()) throw ImportError("the song has no notes");
  const int melodyIndex = options.part > 0 ? options.part - 1 : song.melodyPart;
  const ImportedPart& melody = song.parts.at(static_cast<size_t>(melodyIndex));

  // The voices in order: the melody part's first, then the others.
  std::vector<const ImportedVoice*> voices;
  for (const ImportedVoice& voice : melody.voices) voices.push_back(&voice);
  if (!options.melodyOnly) {
    for (size_t p = 0; p < song.parts.size(); ++p)
      if (static_cast<int>(p) != melodyIndex)
        for (const ImportedVoice& voice : song.parts[p].voices) voices.push_back(&voice);
  } else {
    voices.resize(std::min<size_t>(voices.size(), 1));
  }
  if (voices.size() > static_cast<size_t>(kMaxVoices)) {
    losses.Add(0, "voices beyond " + std::to_string(kMaxVoices) + " left out");
    voices.resize(kMaxVoices);
  }
  std::vector<std::vector<GridNote>> lines;
  long end = 0;
  for (const ImportedVoice* voice : voices) {
    lines.push_back(GridLine(*voice, options.melodyOnly, losses));
    if (!lines.back().empty()) end = std::max(end, lines.back().back().end);
  }
  if (voices.empty() || end == 0) throw ImportError("the song has no notes");

  std::vector<long> starts = MelodyWhole(PhraseStarts(song, melody, options, end), lines[0], end);
  starts.push_back(end);
  std::vector<PhraseText> phrases;
  int lastFifths = 1000;
  long lastTempo = -1;
  for (size_t i = 0; i + 1 < starts.size(); ++i) {
    const double beat = starts[i] / double(kTicksPerBeat);
    PhraseText phrase;
    phrase.bar = BarAt(song, beat);
    if (phrases.size() == static_cast<size_t>(kMaxPhrases)) {
      losses.Add(phrase.bar, "phrases beyond " + std::to_string(kMaxPhrases) + " left out");
      break;
    }
    const int fifths = At(song.keys, beat, 0, &KeyMark::fifths);
    long tempo = std::lround(At(song.tempos, beat, 120.0, &TempoMark::quartersPerMinute));
    if (tempo < 1 || tempo > 999) {
      losses.Add(phrase.bar, "a tempo of " + std::to_string(tempo) + " held within 1 to 999");
      tempo = std::clamp(tempo, 1L, 999L);
    }
    std::string header;
    if (fifths != lastFifths) header += "do=" + KeyName(fifths) + ",";
    if (tempo != lastTempo) header += "s=" + std::to_string(tempo) + ",";

    std::vector<std::string> numbers;
    std::vector<WordSlot> slots;
    int count = 0;
    for (size_t v = 0; v < lines.size(); ++v) {
      int voiceCount = 0;
      const std::vector<WrittenNote> notes = Slice(lines[v], starts[i], starts[i + 1], losses);
      std::string text = VoiceNumbers(notes, fifths, voiceCount, v == 0 ? &slots : nullptr, losses);
      if (v == 0 && voiceCount > kMaxPhraseTokens) break;
      if (count + voiceCount > kMaxPhraseTokens) {
        losses.Add(phrase.bar, "voices left out of a phrase of more than " +
                                   std::to_string(kMaxPhraseTokens) + " numbers");
        break;
      }
      count += voiceCount;
      numbers.push_back(std::move(text));
    }
    if (numbers.empty()) {
      // A melody of more numbers than a phrase holds: split in two at its middle note.
      const std::vector<GridNote>& line = lines[0];
      std::vector<long> inside;
      for (const GridNote& note : line)
        if (note.start > starts[i] && note.start < starts[i + 1]) inside.push_back(note.start);
      if (inside.empty()) continue;
      starts.insert(starts.begin() + static_cast<long>(i) + 1, inside[inside.size() / 2]);
      --i;
      continue;
    }
    const bool keyField = fifths != lastFifths;
    lastFifths = fifths;
    lastTempo = tempo;
    std::string words = WordsComments(slots);
    std::string body = header + words;
    phrase.melody = body + numbers[0];
    phrase.full = phrase.melody;
    for (size_t v = 1; v < numbers.size(); ++v) phrase.full += " &" + numbers[v];
    // A key field is read only in a phrase of nine characters or more.
    for (std::string* text : {&phrase.melody, &phrase.full})
      if (keyField && text->size() < 9) text->append(9 - text->size(), ' ');
    phrases.push_back(std::move(phrase));
  }

  // Within the text limit: the accompaniment goes first, then the end of the song.
  const std::string head = HeadComments(song);
  auto size = [&](bool full, size_t count) {
    size_t total = head.size();
    for (size_t i = 0; i < count; ++i)
      total += (full ? phrases[i].full : phrases[i].melody).size() + 2;
    return total;
  };
  bool full = lines.size() > 1;
  size_t count = phrases.size();
  if (full && size(true, count) > kMaxScoreTextBytes) {
    losses.Add(0, "the voices after the melody left out: the score would be over " +
                      std::to_string(kMaxScoreTextBytes) + " bytes");
    full = false;
  }
  while (count > 1 && size(full, count) > kMaxScoreTextBytes) --count;
  if (count < phrases.size())
    losses.Add(phrases[count].bar, "the song left out from here on: the score would be over " +
                                       std::to_string(kMaxScoreTextBytes) + " bytes");

  written.text = head;
  for (size_t i = 0; i < count; ++i) {
    written.text += full ? phrases[i].full : phrases[i].melody;
    written.text += i + 1 < count ? "|\n" : "\n";
  }
  written.phrases = static_cast<int>(count);
  written.voices = full ? static_cast<int>(lines.size()) : 1;
  written.losses = losses.Take();
  return written;
}

}  // namespace importers
