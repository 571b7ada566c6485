#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "playback/EventTimeline.h"

namespace midi {

// A MIDI file that could not be assembled or written; what() says which and why.
class MidiFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

constexpr uint16_t kTicksPerQuarter = 960;
// Ticks per millisecond at the format's default tempo of 120 quarter notes per minute.
constexpr double kTicksPerMs = 1.92;

// Appends `value` (at most 0x0FFFFFFF) as a variable-length quantity: seven bits per byte,
// most significant group first, bit 7 set on every byte but the last.
void AppendVariableLength(std::vector<uint8_t>& out, uint32_t value);

// The bytes of a Standard MIDI File (format 0, one track, 960 ticks per quarter) holding
// `count` time-sorted events as note-ons on channel 1 with running status: velocity 127
// for pitches 1 to 127, a silent note 1 velocity 0 for every other pitch. Deltas are
// ms x 1.92, truncated per gap. Throws MidiFileError when the events are out of order.
std::vector<uint8_t> MidiFileBytes(const NoteEvent* events, int32_t count);
// The same for the first `count` events of a timeline.
std::vector<uint8_t> MidiFileBytes(const EventTimeline& timeline);

// Writes `bytes` to `path` whole or not at all (a replacing file: a symbolic link is
// followed). Throws MidiFileError with the system's reason.
void WriteMidiFile(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace midi
