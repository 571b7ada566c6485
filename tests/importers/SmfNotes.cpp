#include "tests/importers/SmfNotes.h"

#include <algorithm>
#include <map>

namespace importtest {

namespace {

struct Reader {
  const std::string& bytes;
  size_t at;
  size_t end;
  bool ok = true;

  int Byte() {
    if (at >= end) return ok = false, 0;
    return static_cast<unsigned char>(bytes[at++]);
  }
  long Fixed(int count) {
    long value = 0;
    for (int i = 0; i < count; ++i) value = value << 8 | Byte();
    return value;
  }
  long Variable() {
    long value = 0;
    for (int i = 0; i < 4; ++i) {
      const int byte = Byte();
      value = value << 7 | (byte & 0x7F);
      if (!(byte & 0x80)) break;
    }
    return value;
  }
};

std::vector<SmfNote> TrackNotes(Reader& track) {
  std::vector<SmfNote> notes;
  std::map<int, SmfNote> sounding;  // channel * 128 + key
  long tick = 0;
  int status = 0;
  while (track.ok && track.at < track.end) {
    tick += track.Variable();
    int byte = track.Byte();
    if (byte == 0xFF) {
      track.Byte();
      track.at += static_cast<size_t>(track.Variable());
      continue;
    }
    if (byte == 0xF0 || byte == 0xF7) {
      track.at += static_cast<size_t>(track.Variable());
      continue;
    }
    int first;
    if (byte & 0x80) {
      status = byte;
      first = track.Byte();
    } else {
      first = byte;  // running status
    }
    const int kind = status & 0xF0;
    const int channel = status & 0x0F;
    const int second = (kind == 0xC0 || kind == 0xD0) ? 0 : track.Byte();
    const int slot = channel * 128 + first;
    if (kind == 0x90 && second > 0) {
      sounding[slot] = {tick, tick, first, channel};
    } else if (kind == 0x80 || (kind == 0x90 && second == 0)) {
      const auto on = sounding.find(slot);
      if (on == sounding.end()) continue;
      on->second.end = tick;
      notes.push_back(on->second);
      sounding.erase(on);
    }
  }
  std::stable_sort(notes.begin(), notes.end(),
                   [](const SmfNote& a, const SmfNote& b) { return a.start < b.start; });
  return notes;
}

}  // namespace

bool ReadSmf(const std::string& bytes, SmfFile& file) {
  Reader reader{bytes, 0, bytes.size()};
  if (bytes.compare(0, 4, "MThd") != 0) return false;
  reader.at = 4;
  const long headerLength = reader.Fixed(4);
  reader.Fixed(2);
  const long tracks = reader.Fixed(2);
  file.division = static_cast<int>(reader.Fixed(2));
  reader.at = 8 + static_cast<size_t>(headerLength);
  if (!reader.ok || file.division <= 0 || file.division & 0x8000) return false;
  for (long t = 0; t < tracks && reader.ok; ++t) {
    if (bytes.compare(reader.at, 4, "MTrk") != 0) return false;
    reader.at += 4;
    const long length = reader.Fixed(4);
    Reader track{bytes, reader.at, std::min(bytes.size(), reader.at + static_cast<size_t>(length))};
    file.tracks.push_back(TrackNotes(track));
    reader.at += static_cast<size_t>(length);
  }
  return reader.ok;
}

}  // namespace importtest
