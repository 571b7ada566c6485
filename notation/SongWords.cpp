#include "notation/SongWords.h"

#include <algorithm>
#include <cmath>

#include "notation/Syllables.h"
#include "notation/TextSpans.h"

namespace {

constexpr double kBeatTolerance = 1e-6;
constexpr size_t kMaxMeasuresAPhrase = kMaxPhraseTokens;

// A rest's pitch is kRestPitch moved by the phrase's key: far below every note.
bool Sounds(const Phrase& phrase, int32_t note) {
  return phrase.pitches[note] > kRestPitch / 2 && phrase.durations[note] > kValueTolerance;
}

// The phrase whose text holds byte `offset`; -1 when it lies in none.
int32_t PhraseAt(const Score& score, int32_t shift, int32_t offset) {
  int32_t low = 0;
  int32_t high = score.phraseCount - 1;
  while (low <= high) {
    const int32_t middle = low + (high - low) / 2;
    const TextSpan span = *PhraseTextSpan(score, middle, shift);
    if (offset < span.begin)
      high = middle - 1;
    else if (offset >= span.end)
      low = middle + 1;
    else
      return middle;
  }
  return -1;
}

// Lays a words comment on phrase `row` of `song`, after the syllables its verse already has.
class CWordsLayer {
 public:
  CWordsLayer(const Score& score, Song& song) : score_(score), song_(song) {
    next_.assign(static_cast<size_t>(score.phraseCount) * kMaxVerses, 0);
  }

  void Lay(int32_t row, const WordsTag& tag) {
    const Phrase& phrase = score_.phrases[row];
    const int32_t firstVoice = FirstVoiceNoteCount(phrase);
    std::vector<std::vector<Syllable>>& notes = song_.phrases[static_cast<size_t>(row)].notes;
    int32_t& note =
        next_[static_cast<size_t>(row) * kMaxVerses + static_cast<size_t>(tag.verse - 1)];
    int32_t leftOver = 0;
    for (const WordPiece& piece : CutSyllables(tag.words)) {
      while (note < firstVoice && !Sounds(phrase, note)) ++note;
      if (note >= firstVoice) {
        ++leftOver;
        continue;
      }
      Syllable& syllable = notes[static_cast<size_t>(note)][static_cast<size_t>(tag.verse - 1)];
      if (piece.kind == WordPiece::kSyllable) syllable.text = piece.text;
      syllable.held = piece.kind == WordPiece::kHold;
      ++note;
    }
    if (leftOver > 0)
      song_.warnings.push_back({tag.offset, "第" + std::to_string(row + 1) + "句的歌词多出 " +
                                                std::to_string(leftOver) + " 个音节：这一句只有 " +
                                                std::to_string(SoundingNotes(phrase, firstVoice)) +
                                                " 个要唱的音，多出的不唱"});
  }

 private:
  static int32_t SoundingNotes(const Phrase& phrase, int32_t firstVoice) {
    int32_t count = 0;
    for (int32_t i = 0; i < firstVoice; ++i) count += Sounds(phrase, i) ? 1 : 0;
    return count;
  }

  const Score& score_;
  Song& song_;
  std::vector<int32_t> next_;  // per phrase and verse, the next note to take a syllable
};

}  // namespace

const Syllable* Song::SyllableAt(int32_t row, int32_t note, int32_t verse) const {
  if (row < 0 || row >= static_cast<int32_t>(phrases.size()) || verse < 0 || verse >= verseCount)
    return nullptr;
  const PhraseWords& words = phrases[static_cast<size_t>(row)];
  if (note < 0 || note >= static_cast<int32_t>(words.notes.size())) return nullptr;
  const Syllable& syllable = words.notes[static_cast<size_t>(note)][static_cast<size_t>(verse)];
  return syllable.Sung() || syllable.held ? &syllable : nullptr;
}

Song ReadSong(std::string_view text, const Score& score) {
  const SongTags tags = ReadSongTags(text);
  const int32_t shift = LeadingBarShift(text);
  Song song;
  song.title = tags.title;
  song.warnings = tags.warnings;
  song.phrases.resize(static_cast<size_t>(score.phraseCount));

  for (const MeterTag& tag : tags.meters) {
    const int32_t row = PhraseAt(score, shift, tag.offset);
    if (!song.meter) {
      // The first meter is the song's, from its start, wherever it is written.
      song.meter = tag.meter;
      song.pickupBeats = tag.pickupBeats;
    } else if (row >= 0) {
      song.phrases[static_cast<size_t>(row)].meter = tag.meter;
    }
  }
  if (song.meter && !song.phrases.empty() && !song.phrases.front().meter)
    song.phrases.front().meter = song.meter;

  for (const WordsTag& tag : tags.words) song.verseCount = std::max(song.verseCount, tag.verse);
  for (int32_t row = 0; row < score.phraseCount; ++row) {
    const int32_t firstVoice = FirstVoiceNoteCount(score.phrases[row]);
    song.phrases[static_cast<size_t>(row)].notes.assign(
        static_cast<size_t>(firstVoice),
        std::vector<Syllable>(static_cast<size_t>(song.verseCount)));
  }
  CWordsLayer layer(score, song);
  for (const WordsTag& tag : tags.words) {
    const int32_t row = PhraseAt(score, shift, tag.offset);
    if (row < 0)
      song.warnings.push_back({tag.offset, "这段歌词不在任何一句里，不唱"});
    else
      layer.Lay(row, tag);
  }
  std::stable_sort(song.warnings.begin(), song.warnings.end(),
                   [](const SongWarning& a, const SongWarning& b) { return a.offset < b.offset; });
  return song;
}

std::string PhraseWordsLine(const Song& song, int32_t row, int32_t verse) {
  std::string line;
  if (row < 0 || row >= static_cast<int32_t>(song.phrases.size())) return line;
  bool joinNext = true;  // no space before the first syllable, nor after a hyphen
  for (size_t note = 0; note < song.phrases[static_cast<size_t>(row)].notes.size(); ++note) {
    const Syllable* syllable = song.SyllableAt(row, static_cast<int32_t>(note), verse);
    if (syllable == nullptr || !syllable->Sung()) continue;
    std::string text = syllable->text;
    const bool hyphen = text.back() == '-';
    if (hyphen) text.pop_back();
    // A syllable that is one wide character sits next to its neighbours, as Chinese is written.
    const bool wide = static_cast<unsigned char>(text.front()) >= 0xE0;
    if (!joinNext && !(wide && !line.empty() && static_cast<unsigned char>(line.back()) >= 0x80))
      line += ' ';
    line += text;
    joinNext = hyphen;
  }
  if (joinNext && !line.empty()) line += '-';  // the word goes on in the next phrase
  return line;
}

std::vector<std::vector<double>> MeasureEnds(const Score& score, const Song& song) {
  std::vector<std::vector<double>> ends(static_cast<size_t>(score.phraseCount));
  double nextEnd = 0.0;  // the next measure's end, in beats from the song's start
  double measure = 0.0;  // the beats of a measure in force; 0: no meter
  double phraseStart = 0.0;
  for (int32_t row = 0; row < score.phraseCount; ++row) {
    const Phrase& phrase = score.phrases[row];
    const std::optional<SongMeter>& meter = row < static_cast<int32_t>(song.phrases.size())
                                                ? song.phrases[static_cast<size_t>(row)].meter
                                                : std::nullopt;
    if (meter) {
      measure = meter->MeasureBeats();
      const double pickup = row == 0 ? song.pickupBeats : 0.0;
      nextEnd = phraseStart + (pickup > kBeatTolerance ? pickup : measure);
    }
    const double length = phrase.startTimes[phrase.noteCount];
    const double phraseEnd = phraseStart + length;
    std::vector<double>& inside = ends[static_cast<size_t>(row)];
    while (measure > 0.0 && nextEnd < phraseEnd + kBeatTolerance) {
      if (inside.size() == kMaxMeasuresAPhrase) {
        // More bar lines than a phrase has notes draw nothing worth reading: skip to its end.
        nextEnd += std::ceil((phraseEnd + kBeatTolerance - nextEnd) / measure) * measure;
        break;
      }
      if (nextEnd > phraseStart + kBeatTolerance && nextEnd < phraseEnd - kBeatTolerance)
        inside.push_back(nextEnd - phraseStart);
      nextEnd += measure;
    }
    phraseStart = phraseEnd;
  }
  return ends;
}
