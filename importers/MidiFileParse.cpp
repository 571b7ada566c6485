#include <algorithm>
#include <map>

#include "importers/MidiEvents.h"

// A reader of our own rather than drumstick's: the Debian library is built on Qt 5, which
// cannot share a program with our Qt 6, and a Standard MIDI File needs only a few rules.

namespace importers::midi {

namespace {

class CByteReader {
 public:
  CByteReader(const std::string& bytes, size_t from, size_t to)
      : bytes_(bytes), at_(from), end_(to) {}

  bool AtEnd() const { return at_ >= end_; }
  size_t Left() const { return end_ - at_; }
  bool Byte(int& value) {
    if (AtEnd()) return false;
    value = static_cast<unsigned char>(bytes_[at_++]);
    return true;
  }
  bool Peek(int& value) const {
    if (AtEnd()) return false;
    value = static_cast<unsigned char>(bytes_[at_]);
    return true;
  }
  // A variable-length quantity: at most four bytes of seven bits.
  bool Number(long long& value) {
    value = 0;
    for (int i = 0; i < 4; ++i) {
      int byte = 0;
      if (!Byte(byte)) return false;
      value = (value << 7) | (byte & 0x7F);
      if ((byte & 0x80) == 0) return true;
    }
    return false;
  }
  bool Take(long long count, std::string& out) {
    if (count < 0 || static_cast<unsigned long long>(count) > Left()) return false;
    out.assign(bytes_, at_, static_cast<size_t>(count));
    at_ += static_cast<size_t>(count);
    return true;
  }

 private:
  const std::string& bytes_;
  size_t at_;
  size_t end_;
};

unsigned long Big(const std::string& bytes, size_t at, int count) {
  unsigned long value = 0;
  for (int i = 0; i < count; ++i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// A RIFF-wrapped MIDI file (.rmi) holds the plain file in its "data" chunk.
size_t HeaderStart(const std::string& bytes) {
  if (bytes.compare(0, 4, "RIFF") == 0 && bytes.compare(8, 4, "RMID") == 0) {
    const size_t found = bytes.find("MThd", 12);
    if (found != std::string::npos && found < 64) return found;
  }
  return 0;
}

class CTrackReader {
 public:
  CTrackReader(MidiFile& file, int track) : file_(file), track_(track) {}

  // Reads events until the end of the track or the first fault, which becomes a notice.
  void Read(CByteReader& in) {
    const long long lastTick = kMaxBeats * file_.ticksPerQuarter;
    long long tick = 0;
    int status = 0;
    while (!in.AtEnd()) {
      long long delta = 0;
      if (!in.Number(delta)) {
        Notice("ends inside an event");
        break;
      }
      if (tick + delta > lastTick) {
        Notice("has an event too late to be played: left out from there");
        break;
      }
      tick += delta;
      int first = 0;
      in.Peek(first);
      if (first >= 0x80) {
        in.Byte(first);
        if (first < 0xF0) status = first;
      } else if (status == 0) {
        {
          Notice("has a data byte without a status");
          break;
        }
      }
      if (first == 0xFF) {
        int type = 0;
        long long length = 0;
        std::string data;
        if (!in.Byte(type) || !in.Number(length) || !in.Take(length, data)) {
          Notice("ends inside a meta event");
          break;
        }
        if (type == 0x2F) break;
        Meta(tick, type, data);
      } else if (first == 0xF0 || first == 0xF7) {
        long long length = 0;
        std::string data;
        if (!in.Number(length) || !in.Take(length, data)) {
          Notice("ends inside a system exclusive message");
          break;
        }
      } else if (first > 0xF0) {
        {
          Notice("has a status byte no file may hold");
          break;
        }
      } else if (!Channel(in, tick, status)) {
        break;
      }
    }
    // Notes still sounding end with the track.
    for (auto& [where, open] : open_)
      for (const size_t index : open) file_.notes[index].length = tick - file_.notes[index].tick;
  }

 private:
  void Notice(const std::string& what) {
    file_.notices.push_back("track " + std::to_string(track_ + 1) + " " + what);
  }

  bool Channel(CByteReader& in, long long tick, int status) {
    const int kind = status & 0xF0;
    const int channel = status & 0x0F;
    int data1 = 0, data2 = 0;
    const bool two = kind != 0xC0 && kind != 0xD0;
    if (!in.Byte(data1) || (two && !in.Byte(data2))) {
      Notice("ends inside a message");
      return false;
    }
    if (data1 >= 0x80 || data2 >= 0x80) {
      Notice("has a message with a status byte for data");
      return false;
    }
    std::vector<size_t>& open = open_[{channel, data1}];
    if (kind == 0x90 && data2 > 0) {
      if (file_.notes.size() >= kMaxNotes) {
        Notice("has more notes than are read: left out from " + std::to_string(kMaxNotes));
        return false;
      }
      open.push_back(file_.notes.size());
      file_.notes.push_back({tick, 0, data1, channel, track_});
    } else if ((kind == 0x80 || kind == 0x90) && !open.empty()) {
      // The earliest note of that key still sounding ends.
      file_.notes[open.front()].length = tick - file_.notes[open.front()].tick;
      open.erase(open.begin());
    }
    return true;
  }

  void Meta(long long tick, int type, const std::string& data) {
    if (type == 0x01 || type == 0x03 || type == 0x05) {
      file_.texts.push_back({tick, track_, type, data});
    } else if (type == 0x51 && data.size() >= 3) {
      const int tempo = static_cast<int>(Big(data, 0, 3));
      if (tempo > 0) file_.tempos.push_back({tick, tempo});
    } else if (type == 0x58 && data.size() >= 2) {
      const int beats = static_cast<unsigned char>(data[0]);
      const int power = static_cast<unsigned char>(data[1]);
      if (beats > 0 && beats <= 64 && power <= 6) file_.meters.push_back({tick, beats, 1 << power});
    } else if (type == 0x59 && data.size() >= 2) {
      const int fifths = static_cast<signed char>(data[0]);
      if (fifths >= -7 && fifths <= 7) file_.keys.push_back({tick, fifths});
    }
  }

  MidiFile& file_;
  int track_;
  std::map<std::pair<int, int>, std::vector<size_t>> open_;  // (channel, key) -> notes
};

}  // namespace

MidiFile ParseMidiFile(const std::string& bytes) {
  const size_t head = HeaderStart(bytes);
  if (bytes.size() < head + 14 || bytes.compare(head, 4, "MThd") != 0)
    throw ImportError("not a MIDI file: it does not begin with a MIDI header");
  const unsigned long headerLength = Big(bytes, head + 4, 4);
  if (headerLength < 6 || headerLength > bytes.size() - head - 8)
    throw ImportError("a damaged MIDI file: its header's length is wrong");
  MidiFile file;
  const int declared = static_cast<int>(Big(bytes, head + 10, 2));
  const int division = static_cast<int>(Big(bytes, head + 12, 2));
  if (division & 0x8000)
    throw ImportError("a MIDI file timed in SMPTE frames is not read: it has no beats");
  if (division == 0) throw ImportError("a damaged MIDI file: its header gives no ticks a beat");
  file.ticksPerQuarter = division;

  size_t at = head + 8 + headerLength;
  while (at + 8 <= bytes.size() && file.tracks < declared) {
    const bool track = bytes.compare(at, 4, "MTrk") == 0;
    const unsigned long length = Big(bytes, at + 4, 4);
    at += 8;
    size_t end = at + length;
    if (length > bytes.size() - at) {
      file.notices.push_back("the file ends inside track " + std::to_string(file.tracks + 1) +
                             ": read as far as it goes");
      end = bytes.size();
    }
    if (track) {
      CByteReader in(bytes, at, end);
      CTrackReader(file, file.tracks).Read(in);
      ++file.tracks;
    }
    at = end;
  }
  if (file.tracks == 0) throw ImportError("a damaged MIDI file: it holds no track");
  if (file.tracks < declared)
    file.notices.push_back("the file holds " + std::to_string(file.tracks) + " of the " +
                           std::to_string(declared) + " tracks its header names");
  auto byTick = [](const auto& a, const auto& b) { return a.tick < b.tick; };
  std::stable_sort(file.notes.begin(), file.notes.end(), byTick);
  std::stable_sort(file.texts.begin(), file.texts.end(), byTick);
  std::stable_sort(file.tempos.begin(), file.tempos.end(), byTick);
  std::stable_sort(file.keys.begin(), file.keys.end(), byTick);
  std::stable_sort(file.meters.begin(), file.meters.end(), byTick);
  return file;
}

}  // namespace importers::midi
