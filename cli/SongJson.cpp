#include "cli/SongJson.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "cli/JudgementReport.h"

namespace {

// Beats to a millionth, without trailing zeros: "2", "0.5", "0.333333".
std::string Beats(double beats) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6f", std::round(beats * 1e6) / 1e6 + 0.0);
  std::string out = text;
  out.erase(out.find_last_not_of('0') + 1);
  if (out.back() == '.') out.pop_back();
  return out == "-0" ? "0" : out;
}

// The key as do= names it: "F", "Eb", "F#".
std::string KeyName(const Phrase& phrase) {
  std::string name(1, static_cast<char>(phrase.keyLetter));
  if (phrase.accidental > 0) name += '#';
  if (phrase.accidental < 0) name += 'b';
  return name;
}

std::string SyllableJson(const Syllable* syllable) {
  if (syllable == nullptr) return "null";
  return syllable->held ? "\"_\"" : JsonString(syllable->text);
}

std::string NoteJson(const Score& score, const Song& song, int32_t row, int32_t note) {
  const Phrase& phrase = score.phrases[row];
  std::string out = "{\"beat\": " + Beats(phrase.startTimes[note]) +
                    ", \"beats\": " + Beats(phrase.durations[note]) + ", \"key\": " +
                    (IsRest(phrase, note) ? "null" : std::to_string(phrase.pitches[note])) +
                    ", \"lyric\": " + SyllableJson(song.SyllableAt(row, note, 0));
  if (song.verseCount > 1) {
    out += ", \"verses\": [";
    for (int32_t verse = 0; verse < song.verseCount; ++verse)
      out += (verse > 0 ? ", " : "") + SyllableJson(song.SyllableAt(row, note, verse));
    out += "]";
  }
  return out + "}";
}

std::string PhraseJson(const Score& score, const Song& song, int32_t row) {
  const Phrase& phrase = score.phrases[row];
  std::string out = "{\"phrase\": " + std::to_string(row + 1) +
                    ", \"key\": " + JsonString(KeyName(phrase)) +
                    ", \"tempo\": " + std::to_string(phrase.tempo) +
                    ", \"beats\": " + Beats(phrase.startTimes[phrase.noteCount]) +
                    ",\n   \"voices\": [{\"notes\": [";
  for (int32_t note = 0; note < phrase.noteCount; ++note) {
    if (StartsVoice(phrase, note)) {
      out += "]}, {\"notes\": [";
    } else if (note > 0) {
      out += ",";
    }
    out += "\n    " + NoteJson(score, song, row, note);
  }
  return out + "]}]}";
}

}  // namespace

std::string SongJson(const Score& score, const Song& song) {
  std::string out =
      "{\"title\": " + (song.title.empty() ? "null" : JsonString(song.title)) + ", \"meter\": " +
      (song.meter
           ? JsonString(std::to_string(song.meter->count) + "/" + std::to_string(song.meter->unit))
           : "null") +
      ", \"pickupBeats\": " + Beats(song.pickupBeats) + ",\n \"phrases\": [";
  for (int32_t row = 0; row < score.phraseCount; ++row)
    out += (row > 0 ? ",\n  " : "\n  ") + PhraseJson(score, song, row);
  return out + "]}\n";
}
