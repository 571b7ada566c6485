#include "importers/AbcReader.h"

#include <algorithm>

#include "importers/AbcParts.h"

namespace importers {

namespace {

using abc::Segment;
using abc::TuneMusic;

// A voice's segments in the order they are played: repeats taken once, each ending on its
// own pass. Calls `play` with each segment and the beat it starts on.
template <typename Play>
double PlayOut(const std::vector<const Segment*>& segments, double beat, size_t& played,
               std::vector<ImportLoss>& losses, Play play) {
  std::vector<bool> taken(segments.size(), false);
  size_t repeatStart = 0;
  int pass = 1;
  bool jumped = false;
  bool leaving = false;  // a repeat is done: its last ending plays, then the pass starts anew
  size_t i = 0;
  while (i < segments.size()) {
    const Segment& segment = *segments[i];
    if (segment.repeatStart && !jumped) {
      repeatStart = i;
      pass = 1;
      leaving = false;
    }
    jumped = false;
    if (leaving && segment.endings.empty()) {
      pass = 1;
      leaving = false;
      repeatStart = i;
    }
    const bool plays = segment.endings.empty() || segment.endings.count(pass) > 0;
    if (plays) {
      if (++played > abc::kMaxPlayedSegments) {
        losses.push_back({segment.bar, "the repeats played out no further: too many"});
        return beat;
      }
      play(segment, beat);
      beat += segment.length;
    }
    if (segment.repeatEnd) {
      if (plays && !taken[i]) {
        taken[i] = true;
        ++pass;
        i = repeatStart;
        jumped = true;
        continue;
      }
      leaving = true;
      if (segment.endings.empty()) repeatStart = i + 1;
    }
    ++i;
  }
  return beat;
}

// The header's P: field as the parts in the order they are played: "A2B" is A A B, "(AB)2"
// is A B A B; dots and spaces only separate. Bounded in length and depth.
void PartLetters(const std::string& order, size_t& at, int depth, std::string& letters) {
  constexpr size_t kMaxLetters = 1000;
  while (at < order.size() && order[at] != ')' && letters.size() < kMaxLetters) {
    std::string group;
    const char c = order[at++];
    if (c == '(' && depth < 8) {
      PartLetters(order, at, depth + 1, group);
      if (at < order.size() && order[at] == ')') ++at;
    } else if (c >= 'A' && c <= 'Z') {
      group = std::string(1, c);
    } else {
      continue;
    }
    int times = 0;
    while (at < order.size() && order[at] >= '0' && order[at] <= '9')
      times = std::min(times * 10 + (order[at++] - '0'), 100);
    for (int n = 0; n < std::max(times, 1) && letters.size() < kMaxLetters; ++n) letters += group;
  }
}

// A voice's segments in the order its parts are played: what stands before the first part,
// then each part the P: field names, as often as it names it; as written without one.
std::vector<std::vector<const Segment*>> InPartOrder(const std::vector<Segment>& segments,
                                                     const std::string& order) {
  std::string letters;
  size_t at = 0;
  PartLetters(order, at, 0, letters);
  std::vector<std::vector<const Segment*>> runs(1);
  for (const Segment& segment : segments)
    if (letters.empty() || segment.part == 0) runs[0].push_back(&segment);
  for (const char letter : letters) {
    runs.emplace_back();
    for (const Segment& segment : segments)
      if (segment.part == letter) runs.back().push_back(&segment);
  }
  return runs;
}

ImportedSong SongOf(TuneMusic& music) {
  ImportedSong song;
  song.title = music.title;
  song.meterBeats = music.meterBeats;
  song.meterUnit = music.meterUnit;
  if (music.voices.empty()) throw ImportError("the tune has no notes");

  // A pickup: music before the first bar line that is shorter than a bar.
  const std::vector<Segment>& first = music.voices[0].segments;
  double before = 0.0;
  for (size_t i = 0; i < first.size() && !(first[i].barStart && before > 0.0); ++i)
    before += first[i].length;
  const double barBeats = music.meterUnit > 0 ? 4.0 * music.meterBeats / music.meterUnit : 0.0;
  const bool pickup =
      barBeats > 0.0 && before > 1e-9 && before < barBeats - 1e-6 && first.size() > 1;
  if (pickup) song.pickupBeats = before;
  const int shift = pickup ? 1 : 0;  // the pickup is bar 0

  for (size_t v = 0; v < music.voices.size(); ++v) {
    ImportedPart part;
    part.name = !music.voices[v].name.empty() ? music.voices[v].name : music.voices[v].id;
    part.voices.emplace_back();
    std::vector<ImportedNote>& notes = part.voices[0].notes;
    int fifths = 1000;
    double tempo = -1.0;
    bool firstSegment = true;
    auto play = [&](const Segment& segment, double beat) {
      if (v == 0) {
        if (segment.barStart || firstSegment) song.bars.push_back({beat, segment.bar - shift});
        if (segment.fifths != fifths) song.keys.push_back({beat, segment.fifths});
        if (segment.tempo > 0.0 && segment.tempo != tempo)
          song.tempos.push_back({beat, segment.tempo});
        fifths = segment.fifths;
        if (segment.tempo > 0.0) tempo = segment.tempo;
      }
      if (segment.lineStart && beat > 0.0) part.phraseStarts.push_back(beat);
      firstSegment = false;
      for (const abc::SourceNote& note : segment.notes)
        notes.push_back({beat + note.offset, note.length, note.key, note.bar - shift, note.verses});
    };
    double beat = 0.0;
    size_t played = 0;
    for (const std::vector<const Segment*>& run :
         InPartOrder(music.voices[v].segments, music.partOrder))
      beat = PlayOut(run, beat, played, song.losses, play);
    if (part.phraseStarts.empty() && notes.empty()) continue;
    song.parts.push_back(std::move(part));
  }
  for (ImportLoss& loss : music.losses) song.losses.push_back({loss.bar - shift, loss.what});
  // The melody: the first part with words, else the first.
  for (size_t p = 0; p < song.parts.size(); ++p) {
    const std::vector<ImportedNote>& notes = song.parts[p].voices[0].notes;
    if (std::any_of(notes.begin(), notes.end(),
                    [](const ImportedNote& n) { return !n.verses.empty(); })) {
      song.melodyPart = static_cast<int>(p);
      break;
    }
  }
  return song;
}

}  // namespace

ImportedSong ImportAbc(const std::string& bytes, const ImportOptions& options) {
  const std::vector<abc::Tune> tunes = abc::SplitTunes(bytes);
  const abc::Tune* chosen = &tunes[0];
  if (options.tune > 0) {
    chosen = nullptr;
    for (const abc::Tune& tune : tunes)
      if (tune.number == options.tune) {
        chosen = &tune;
        break;
      }
    if (chosen == nullptr) {
      std::string numbers;
      for (size_t i = 0; i < tunes.size() && i < 20; ++i)
        numbers += (i ? ", " : "") + std::to_string(tunes[i].number);
      if (tunes.size() > 20) numbers += ", …";
      throw ImportError("there is no tune X:" + std::to_string(options.tune) +
                        " (tunes: " + numbers + ")");
    }
  }
  TuneMusic music = abc::ReadTuneMusic(*chosen);
  return SongOf(music);
}

std::vector<ImportListing> ListAbc(const std::string& bytes) {
  std::vector<ImportListing> listings;
  for (const abc::Tune& tune : abc::SplitTunes(bytes)) {
    TuneMusic music = abc::ReadTuneMusic(tune);
    ImportedSong song;
    try {
      song = SongOf(music);
    } catch (const ImportError&) {
      listings.push_back({"X:" + std::to_string(tune.number), music.title, 0, kRestKey, kRestKey});
      continue;
    }
    for (size_t p = 0; p < song.parts.size(); ++p) {
      ImportListing listing;
      listing.label = "X:" + std::to_string(tune.number);
      listing.name = song.title;
      if (song.parts.size() > 1) {
        listing.label += " V:" + std::to_string(p + 1);
        listing.name += " (" + song.parts[p].name + ")";
      }
      for (const ImportedNote& note : song.parts[p].voices[0].notes) {
        if (note.key == kRestKey) continue;
        ++listing.notes;
        listing.lowKey = listing.lowKey == kRestKey ? note.key : std::min(listing.lowKey, note.key);
        listing.highKey = std::max(listing.highKey, note.key);
      }
      listings.push_back(listing);
    }
  }
  return listings;
}

}  // namespace importers
