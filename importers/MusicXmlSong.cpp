#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "importers/MusicXmlParts.h"
#include "importers/MusicXmlReader.h"
#include "importers/PartListing.h"
#include "importers/PhraseBreaks.h"
#include "importers/SongBounds.h"

namespace importers {

namespace musicxml {

namespace {

constexpr double kEpsilon = 1e-6;

// A measure as played: which one, where it begins, and on which pass of its repeat.
struct PlayedMeasure {
  size_t index = 0;
  double beat = 0.0;
  int pass = 1;
  bool repeated = false;  // its section is played more than once
};

// The repeat signs and endings of measure `i`, from whichever part writes them.
struct RepeatSigns {
  bool forward = false;
  int backward = 0;
  std::vector<int> endings;
};

RepeatSigns SignsOf(const XmlScore& score, size_t i) {
  RepeatSigns signs;
  for (const XmlPart& part : score.parts) {
    if (i >= part.measures.size()) continue;
    const XmlMeasure& measure = part.measures[i];
    signs.forward |= measure.repeatForward;
    signs.backward = std::max(signs.backward, measure.repeatBackward);
    if (signs.endings.empty()) signs.endings = measure.endings;
  }
  // A backward repeat inside ending "1, 2" plays the section a third time.
  for (const int pass : signs.endings)
    if (signs.backward > 0) signs.backward = std::max(signs.backward, pass + 1);
  signs.backward = std::min(signs.backward, kMaxRepeatTimes);
  return signs;
}

// The measures in the order they are played, repeats and endings played out.
std::vector<PlayedMeasure> PlayOrder(const XmlScore& score, size_t count,
                                     std::vector<ImportLoss>& losses) {
  std::vector<RepeatSigns> signs;
  for (size_t i = 0; i < count; ++i) signs.push_back(SignsOf(score, i));
  std::vector<PlayedMeasure> order;
  size_t start = 0;
  int pass = 1;
  bool jumped = false;
  for (size_t i = 0; i < count;) {
    // The first measure after the last ending closes the section.
    if (pass > 1 && !jumped && i > 0 && signs[i].endings.empty() && !signs[i - 1].endings.empty())
      pass = 1, start = i;
    jumped = false;
    if (signs[i].forward && pass == 1) start = i;
    const std::vector<int>& endings = signs[i].endings;
    if (!endings.empty() && std::find(endings.begin(), endings.end(), pass) == endings.end()) {
      ++i;
      continue;
    }
    if (order.size() == kMaxPlayedMeasures) {
      losses.push_back({0, "the song left out after " + std::to_string(kMaxPlayedMeasures) +
                               " measures played"});
      break;
    }
    order.push_back({i, 0.0, pass, false});
    if (signs[i].backward > pass) {
      for (size_t j = order.size(); j-- > 0 && order[j].index >= start;) order[j].repeated = true;
      ++pass;
      i = start;
      jumped = true;
      continue;
    }
    if (signs[i].backward > 0) {
      pass = 1;
      start = i + 1;
    }
    ++i;
  }
  // Measures played on a later pass belong to a repeated section too.
  for (PlayedMeasure& played : order) played.repeated |= played.pass > 1;
  return order;
}

// The syllables a note carries on this pass: on a repeated section's n-th pass the n-th
// verse alone, where there is one; elsewhere every verse, numbered from `verses`.
std::vector<Syllable> NoteVerses(const XmlNote& note, const PlayedMeasure& played,
                                 const std::vector<int>& verses) {
  if (note.lyrics.empty()) return {};
  if (played.repeated) {
    auto found = note.lyrics.find(played.pass);
    if (found == note.lyrics.end()) found = note.lyrics.begin();
    return {found->second};
  }
  std::vector<Syllable> out(verses.size());
  for (size_t v = 0; v < verses.size(); ++v)
    if (const auto found = note.lyrics.find(verses[v]); found != note.lyrics.end())
      out[v] = found->second;
  return out;
}

struct PartBuild {
  ImportedPart part;
  std::vector<double> marked;  // the first voice's notes that end a phrase
  std::vector<ImportLoss> losses;
};

// One part's notes as played, tied notes joined, held syllables marked.
PartBuild BuildPart(const XmlPart& source, const std::vector<PlayedMeasure>& order,
                    size_t& budget) {
  PartBuild build;
  build.part.name = source.name;
  build.part.voices.resize(std::max<size_t>(1, source.voiceNames.size()));
  std::set<int> verseSet;
  for (const XmlMeasure& measure : source.measures)
    for (const XmlNote& note : measure.notes)
      for (const auto& lyric : note.lyrics) verseSet.insert(lyric.first);
  const std::vector<int> verses(verseSet.begin(), verseSet.end());
  std::map<std::pair<int, int>, size_t> tied;      // (voice, key) -> the note a tie goes on from
  std::map<std::pair<int, size_t>, bool> holding;  // (voice, verse) -> a syllable held
  for (const PlayedMeasure& played : order) {
    if (played.index >= source.measures.size()) continue;
    const XmlMeasure& measure = source.measures[played.index];
    if (measure.notes.size() > budget) {
      budget = 0;
      break;
    }
    budget -= measure.notes.size();
    for (const XmlNote& note : measure.notes) {
      const double start = played.beat + note.start;
      std::vector<ImportedNote>& notes = build.part.voices[note.voice].notes;
      if (note.key == kRestKey) {
        for (auto& [where, held] : holding)
          if (where.first == note.voice) held = false;
        continue;
      }
      const auto tie = tied.find({note.voice, note.key});
      if (note.tieStop && tie != tied.end() &&
          std::abs(notes[tie->second].start + notes[tie->second].length - start) < 1e-3) {
        if (notes[tie->second].length + note.length > kMaxMeasureBeats) {
          build.losses.push_back({measure.number, "a tied note longer than " +
                                                      std::to_string(int(kMaxMeasureBeats)) +
                                                      " beats cut short"});
          tied.erase(tie);
          continue;
        }
        notes[tie->second].length += note.length;
        if (note.phraseEnd && note.voice == 0) build.marked.push_back(notes[tie->second].start);
        if (!note.tieStart) tied.erase(tie);
        continue;
      }
      ImportedNote imported{start, note.length, note.key, measure.number,
                            NoteVerses(note, played, verses)};
      const size_t count = std::max<size_t>(imported.verses.size(), verses.size());
      for (size_t v = 0; v < count; ++v) {
        bool& held = holding[{note.voice, v}];
        if (v < imported.verses.size() && !imported.verses[v].text.empty()) {
          held = imported.verses[v].extend;
          imported.verses[v].extend = false;
        } else if (held) {
          imported.verses.resize(std::max(imported.verses.size(), v + 1));
          imported.verses[v].extend = true;
        }
      }
      if (note.phraseEnd && note.voice == 0) build.marked.push_back(start);
      if (note.tieStart) tied[{note.voice, note.key}] = notes.size();
      notes.push_back(std::move(imported));
    }
  }
  return build;
}

bool HasWords(const ImportedPart& part) {
  for (const ImportedVoice& voice : part.voices)
    for (const ImportedNote& note : voice.notes)
      for (const Syllable& syllable : note.verses)
        if (!syllable.text.empty()) return true;
  return false;
}

ImportedSong BuildSong(const XmlScore& score) {
  ImportedSong song;
  song.title = score.title;
  size_t count = 0;
  for (const XmlPart& part : score.parts) count = std::max(count, part.measures.size());
  if (count == 0) throw ImportError("the MusicXML score has no measures");
  std::vector<PlayedMeasure> order = PlayOrder(score, count, song.losses);

  // Each measure's length, meter and key from the first part that has them.
  auto firstWith = [&](size_t i, auto has) -> const XmlMeasure* {
    for (const XmlPart& part : score.parts)
      if (i < part.measures.size() && has(part.measures[i])) return &part.measures[i];
    return nullptr;
  };
  double meterLength = 4.0;
  std::vector<double> lengths(count, 0.0);
  for (size_t i = 0; i < count; ++i) {
    if (const XmlMeasure* m = firstWith(i, [](const XmlMeasure& x) { return x.meterUnit > 0; })) {
      if (song.meterBeats == 0) {
        song.meterBeats = m->meterBeats;
        song.meterUnit = m->meterUnit;
      } else if (m->meterBeats != song.meterBeats || m->meterUnit != song.meterUnit) {
        song.losses.push_back({m->number, "a change of meter to " + std::to_string(m->meterBeats) +
                                              "/" + std::to_string(m->meterUnit) + " not marked"});
      }
      meterLength = m->meterBeats * 4.0 / m->meterUnit;
    }
    for (const XmlPart& part : score.parts)
      if (i < part.measures.size()) lengths[i] = std::max(lengths[i], part.measures[i].length);
    if (lengths[i] <= kEpsilon) lengths[i] = meterLength;
    if (i == 0 && song.meterBeats > 0 && lengths[0] < meterLength - kEpsilon)
      song.pickupBeats = lengths[0];
  }

  double beat = 0.0;
  for (PlayedMeasure& played : order) {
    played.beat = beat;
    const size_t i = played.index;
    const XmlMeasure* first = firstWith(i, [](const XmlMeasure&) { return true; });
    song.bars.push_back({beat, first->number});
    if (const XmlMeasure* m = firstWith(i, [](const XmlMeasure& x) { return x.hasKey; }))
      if (song.keys.empty() || song.keys.back().fifths != m->fifths)
        song.keys.push_back({beat, m->fifths});
    if (const XmlMeasure* m = firstWith(i, [](const XmlMeasure& x) { return !x.tempos.empty(); }))
      for (const auto& [at, quarters] : m->tempos)
        if (song.tempos.empty() || song.tempos.back().quartersPerMinute != quarters)
          song.tempos.push_back({beat + at, quarters});
    beat += lengths[i];
  }
  for (const XmlPart& part : score.parts)
    for (size_t i = 0; i < part.measures.size(); ++i)
      for (const std::string& what : part.measures[i].losses)
        song.losses.push_back({part.measures[i].number, what});

  if (score.parts.size() > kMaxParts)
    song.losses.push_back({0, "parts beyond " + std::to_string(kMaxParts) + " left out"});
  size_t budget = kMaxPlayedNotes;
  for (size_t p = 0; p < score.parts.size() && p < kMaxParts; ++p) {
    PartBuild build = BuildPart(score.parts[p], order, budget);
    if (budget == 0)
      song.losses.push_back(
          {0, "notes beyond " + std::to_string(kMaxPlayedNotes) + " played left out"});
    song.losses.insert(song.losses.end(), build.losses.begin(), build.losses.end());
    build.part.phraseStarts =
        PhraseStarts(build.part.voices[0], song.bars, song.pickupBeats, build.marked);
    song.parts.push_back(std::move(build.part));
  }
  EndBeforeLongSilence(song);
  for (size_t p = 0; p < song.parts.size(); ++p)
    if (HasWords(song.parts[p])) {
      song.melodyPart = static_cast<int>(p);
      break;
    }
  return song;
}

XmlScore ScoreOfBytes(const std::string& bytes) {
  if (bytes.compare(0, 4, "PK\x03\x04") == 0) return ParseMusicXml(ScoreOfArchive(bytes));
  return ParseMusicXml(bytes);
}

}  // namespace

}  // namespace musicxml

ImportedSong ImportMusicXml(const std::string& bytes, const ImportOptions&) {
  return musicxml::BuildSong(musicxml::ScoreOfBytes(bytes));
}

std::vector<ImportListing> ListMusicXml(const std::string& bytes) {
  const ImportedSong song = ImportMusicXml(bytes, {});
  std::vector<ImportListing> listing;
  for (size_t p = 0; p < song.parts.size(); ++p)
    listing.push_back(ListingOf("part " + std::to_string(p + 1), song.parts[p]));
  return listing;
}

}  // namespace importers
