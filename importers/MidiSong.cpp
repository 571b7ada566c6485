#include <algorithm>
#include <cmath>
#include <map>

#include "importers/MidiEvents.h"
#include "importers/MidiFileReader.h"
#include "importers/NoteTokens.h"
#include "importers/PartListing.h"
#include "importers/PhraseBreaks.h"
#include "importers/SongBounds.h"

namespace importers {

namespace midi {

namespace {

constexpr int kDrumChannel = 9;
// A syllable belongs to a note starting this near its event, in beats.
constexpr double kWordsReach = 0.25;
// A gap this short after a note, and under half its length, is the player's release, not a
// rest: the note is held to the next.
constexpr double kLegatoGap = 0.25;
constexpr double kOnGrid = 1.0 / 96;

// A part of the file: one track's notes on one channel.
struct Source {
  int track = 0;
  int channel = 0;
  std::vector<const MidiNote*> notes;
};

std::vector<Source> Sources(const MidiFile& file) {
  std::map<std::pair<int, int>, Source> byPlace;
  for (const MidiNote& note : file.notes) {
    if (note.channel == kDrumChannel) continue;
    Source& source = byPlace[{note.track, note.channel}];
    source.track = note.track;
    source.channel = note.channel;
    source.notes.push_back(&note);
  }
  std::vector<Source> sources;
  for (auto& [place, source] : byPlace) sources.push_back(std::move(source));
  return sources;
}

std::string SourceName(const std::vector<Source>& sources, size_t i,
                       const std::vector<std::string>& trackNames) {
  const Source& source = sources[i];
  std::string name = trackNames[static_cast<size_t>(source.track)];
  int channels = 0;
  for (const Source& other : sources) channels += other.track == source.track;
  if (channels > 1 || name.empty())
    name +=
        (name.empty() ? "" : ", ") + std::string("channel ") + std::to_string(source.channel + 1);
  return name;
}

// The bars of the file's meters, from its start to `end` beats.
void Bars(const MidiFile& file, double end, ImportedSong& song) {
  const double quarter = file.ticksPerQuarter;
  int beats = 4, unit = 4;
  size_t next = 0;
  double beat = 0.0;
  for (int number = 1; beat < end || number == 1; ++number) {
    while (next < file.meters.size() && file.meters[next].tick / quarter <= beat + 1e-9) {
      beats = file.meters[next].beats;
      unit = file.meters[next].unit;
      ++next;
    }
    song.bars.push_back({beat, number});
    double length = beats * 4.0 / unit;
    // A meter that changes inside a bar begins a bar of its own.
    if (next < file.meters.size() && file.meters[next].tick / quarter < beat + length)
      length = std::max(file.meters[next].tick / quarter - beat, 0.5);
    beat += length;
  }
  if (!file.meters.empty()) {
    song.meterBeats = file.meters.front().beats;
    song.meterUnit = file.meters.front().unit;
  } else {
    song.meterBeats = song.meterUnit = 4;
  }
}

int BarOf(const ImportedSong& song, double beat) {
  auto after = std::upper_bound(song.bars.begin(), song.bars.end(), beat + 1e-9,
                                [](double b, const BarMark& bar) { return b < bar.beat; });
  return after == song.bars.begin() ? 1 : std::prev(after)->number;
}

// The major key whose scale holds the most of the notes' time, fewest accidentals first.
int EstimatedFifths(const MidiFile& file) {
  double weight[12] = {};
  for (const MidiNote& note : file.notes)
    if (note.channel != kDrumChannel) weight[note.key % 12] += double(std::max(1LL, note.length));
  static constexpr int kScale[7] = {0, 2, 4, 5, 7, 9, 11};
  int best = 0;
  double bestScore = -1.0;
  for (const int fifths : {0, 1, -1, 2, -2, 3, -3, 4, -4, 5, -5, 6, -6}) {
    const int tonic = ((fifths * 7) % 12 + 12) % 12;
    double score = 0.0;
    for (const int step : kScale) score += weight[(tonic + step) % 12];
    if (score > bestScore + 1e-9) best = fifths, bestScore = score;
  }
  return best;
}

// A part's notes on the notation's grid: onsets snapped, a note held over its release to the
// next onset, and every onset that moved reported with its bar.
ImportedPart GridPart(const MidiFile& file, const Source& source, ImportedSong& song) {
  const double quarter = file.ticksPerQuarter;
  ImportedPart part;
  part.voices.resize(1);
  std::vector<ImportedNote>& notes = part.voices[0].notes;
  for (const MidiNote* note : source.notes) {
    const double start = note->tick / quarter;
    const double end = (note->tick + note->length) / quarter;
    const double snapped = SnapToGrid(start) / double(kTicksPerBeat);
    const int bar = BarOf(song, snapped);
    if (std::fabs(snapped - start) > kOnGrid)
      song.losses.push_back({bar, "a note moved to the grid of sixteenths and triplets"});
    double length = SnapToGrid(end) / double(kTicksPerBeat) - snapped;
    if (length > kMaxNoteBeats) {
      song.losses.push_back(
          {bar, "a note longer than " + std::to_string(int(kMaxNoteBeats)) + " beats cut short"});
      length = kMaxNoteBeats;
    }
    notes.push_back({snapped, length, note->key, bar, {}});
  }
  for (size_t i = 0; i < notes.size(); ++i) {
    size_t next = i + 1;
    while (next < notes.size() && notes[next].start <= notes[i].start) ++next;
    if (next == notes.size()) continue;
    const double gap = notes[next].start - notes[i].start - notes[i].length;
    if (gap > 0 && gap <= kLegatoGap && gap < notes[i].length / 2)
      notes[i].length = notes[next].start - notes[i].start;
  }
  return part;
}

// Lays each syllable on the first note of `part` starting within reach of its event; a
// syllable on a note that already has one joins it. Returns the syllables laid.
int LayWords(const MidiFile& file, const std::vector<MidiSyllable>& words, ImportedPart& part,
             ImportedSong& song, bool keep) {
  std::vector<ImportedNote>& notes = part.voices[0].notes;
  int laid = 0;
  size_t at = 0;
  std::vector<double> lines;
  for (const MidiSyllable& word : words) {
    const double beat = word.tick / double(file.ticksPerQuarter);
    while (at < notes.size() && notes[at].start < beat - kWordsReach) ++at;
    size_t chosen = at;
    if (chosen == notes.size() || notes[chosen].start > beat + kWordsReach) {
      // The note that sounds when the syllable is sung.
      if (chosen == 0 || notes[chosen - 1].start + notes[chosen - 1].length <= beat) {
        if (keep) song.losses.push_back({BarOf(song, beat), "a syllable without a note left out"});
        continue;
      }
      --chosen;
    }
    // Of notes struck together, the top one carries the words.
    for (size_t same = chosen + 1; same < notes.size() && notes[same].start == notes[chosen].start;
         ++same)
      if (notes[same].key > notes[chosen].key) chosen = same;
    ++laid;
    if (!keep) continue;
    ImportedNote& note = notes[chosen];
    if (note.verses.empty()) {
      note.verses.push_back(word.syllable);
      if (word.lineStart && note.start > 0) lines.push_back(note.start);
    } else {
      Syllable& joined = note.verses[0];
      joined.text += (joined.hyphen ? "" : " ") + word.syllable.text;
      joined.hyphen = word.syllable.hyphen;
    }
    at = chosen + 1;
  }
  if (keep && !lines.empty()) part.phraseStarts = lines;
  return laid;
}

struct Build {
  ImportedSong song;
  std::vector<int> tracks;  // each part's track
};

Build BuildSong(const std::string& bytes, const ImportOptions& options) {
  const MidiFile file = ParseMidiFile(bytes);
  Build build;
  ImportedSong& song = build.song;
  for (const std::string& notice : file.notices) song.losses.push_back({0, notice});
  const std::vector<Source> sources = Sources(file);
  const std::vector<MidiSyllable> words = MidiWords(file, song.title);

  const std::vector<std::string> trackNames = TrackNames(file);

  double end = 0.0;
  for (const MidiNote& note : file.notes)
    end = std::max(end, (note.tick + note.length) / double(file.ticksPerQuarter));

  Bars(file, end, song);
  for (const MidiValue& tempo : file.tempos)
    song.tempos.push_back({tempo.tick / double(file.ticksPerQuarter), 60e6 / tempo.value});
  for (const MidiValue& key : file.keys)
    if (song.keys.empty() || song.keys.back().fifths != key.value)
      song.keys.push_back({key.tick / double(file.ticksPerQuarter), key.value});
  if (song.keys.empty() && !sources.empty()) {
    song.keys.push_back({0.0, EstimatedFifths(file)});
    song.losses.push_back(
        {0, "no key signature: do=" + KeyName(song.keys[0].fifths) + " estimated from the notes"});
  }

  if (sources.size() > kMaxParts)
    song.losses.push_back(
        {0, "tracks and channels beyond " + std::to_string(kMaxParts) + " left out"});
  for (size_t i = 0; i < sources.size() && i < kMaxParts; ++i) {
    song.parts.push_back(GridPart(file, sources[i], song));
    song.parts.back().name = SourceName(sources, i, trackNames);
    build.tracks.push_back(sources[i].track);
  }
  // The melody: the part asked for, else the one the words fit best (its own track's words
  // first), else the first.
  int melody = 0;
  if (options.part > 0 && options.part <= static_cast<int>(song.parts.size())) {
    melody = options.part - 1;
  } else if (!words.empty()) {
    int best = 0;
    for (size_t p = 0; p < song.parts.size(); ++p) {
      int fit = LayWords(file, words, song.parts[p], song, false);
      if (sources[p].track == words.front().track) fit += static_cast<int>(words.size());
      if (fit > best) best = fit, melody = static_cast<int>(p);
    }
  }
  for (ImportedPart& part : song.parts)
    part.phraseStarts = PhraseStarts(part.voices[0], song.bars, 0.0, {});
  // Karaoke words break their lines where the song's phrases break.
  if (!words.empty() && !song.parts.empty())
    LayWords(file, words, song.parts[static_cast<size_t>(melody)], song, true);
  song.melodyPart = melody;
  EndBeforeLongSilence(song);
  return build;
}

}  // namespace

}  // namespace midi

ImportedSong ImportMidi(const std::string& bytes, const ImportOptions& options) {
  ImportedSong song = midi::BuildSong(bytes, options).song;
  if (song.parts.empty()) throw ImportError("the MIDI file has no notes but drums");
  return song;
}

std::vector<ImportListing> ListMidi(const std::string& bytes) {
  const midi::Build build = midi::BuildSong(bytes, {});
  std::vector<ImportListing> listing;
  for (size_t p = 0; p < build.song.parts.size(); ++p)
    listing.push_back(
        ListingOf("track " + std::to_string(build.tracks[p] + 1), build.song.parts[p]));
  return listing;
}

}  // namespace importers
