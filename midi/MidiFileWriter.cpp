#include "midi/MidiFileWriter.h"

#include "files/ReplacingFile.h"

namespace midi {

namespace {

// Largest delta a variable-length quantity of four bytes can hold.
constexpr int64_t kMaxDelta = 0x0FFFFFFF;
constexpr uint8_t kNoteOn = 0x90;
constexpr uint8_t kSilentNote = 0x01;

void PutBigEndian32(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value >> 24);
  at[1] = static_cast<uint8_t>(value >> 16);
  at[2] = static_cast<uint8_t>(value >> 8);
  at[3] = static_cast<uint8_t>(value);
}

// Note and velocity of an event. Keys above 127 are not valid data bytes and are written
// silent, as rests and phrase-end markers are.
void PutNote(std::vector<uint8_t>& out, int32_t pitch) {
  if (pitch >= 1 && pitch <= 127) {
    out.push_back(static_cast<uint8_t>(pitch));
    out.push_back(0x7F);
  } else {
    out.push_back(kSilentNote);
    out.push_back(0x00);
  }
}

}  // namespace

void AppendVariableLength(std::vector<uint8_t>& out, uint32_t value) {
  uint8_t groups[4];
  int n = 0;
  do {
    groups[n++] = static_cast<uint8_t>(value & 0x7F);
    value >>= 7;
  } while (value != 0 && n < 4);
  while (n > 1) out.push_back(static_cast<uint8_t>(groups[--n] | 0x80));
  out.push_back(groups[0]);
}

std::vector<uint8_t> MidiFileBytes(const NoteEvent* events, int32_t count) {
  static const uint8_t kHeader[] = {'M', 'T',  'h',  'd', 0,   0,   0,   6, 0, 0, 0,
                                    1,   0x03, 0xC0, 'M', 'T', 'r', 'k', 0, 0, 0, 0};
  static_assert(sizeof(kHeader) == 22, "18 header bytes and the track length");
  if (count < 0) count = 0;

  std::vector<uint8_t> out;
  // Header, at most 3 + 6 bytes per event (longer only past 2^28 ticks), end of track.
  out.reserve(sizeof(kHeader) + 4 + static_cast<size_t>(count) * 7 + 4);
  out.insert(out.end(), kHeader, kHeader + sizeof(kHeader));

  if (count > 0) {
    // The first event starts the track at delta 0 with the status byte; the others
    // rely on running status.
    out.push_back(0x00);
    out.push_back(kNoteOn);
    PutNote(out, events[0].pitch);
    for (int32_t j = 1; j < count; ++j) {
      const int64_t gapMs = static_cast<int64_t>(events[j].timeMs) - events[j - 1].timeMs;
      if (gapMs < 0) throw MidiFileError("MIDI file: the events are not in time order.");
      int64_t delta = static_cast<int64_t>(static_cast<double>(gapMs) * kTicksPerMs);
      // A gap beyond four delta bytes is bridged by silent events, keeping the timing.
      while (delta > kMaxDelta) {
        AppendVariableLength(out, static_cast<uint32_t>(kMaxDelta));
        PutNote(out, 0);
        delta -= kMaxDelta;
      }
      AppendVariableLength(out, static_cast<uint32_t>(delta));
      PutNote(out, events[j].pitch);
    }
  }
  static const uint8_t kEndOfTrack[] = {0x00, 0xFF, 0x2F, 0x00};
  out.insert(out.end(), kEndOfTrack, kEndOfTrack + sizeof(kEndOfTrack));

  PutBigEndian32(out.data() + 18, static_cast<uint32_t>(out.size() - sizeof(kHeader)));
  return out;
}

std::vector<uint8_t> MidiFileBytes(const EventTimeline& timeline) {
  return MidiFileBytes(timeline.events.get(), timeline.count);
}

void WriteMidiFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  if (path.empty()) throw MidiFileError("Cannot write the MIDI file: no file name given.");
  CReplacingFile file;
  if (!file.Open(path))
    throw MidiFileError("Cannot create the MIDI file \"" + path + "\": " + file.Error());
  if (!file.Write(reinterpret_cast<const char*>(bytes.data()), bytes.size()) || !file.Commit())
    throw MidiFileError("Cannot write the MIDI file \"" + path + "\": " + file.Error());
}

}  // namespace midi
