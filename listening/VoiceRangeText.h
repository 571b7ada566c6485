#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "notation/VoiceRange.h"

namespace listening {

// The key of a note name as NoteName writes it: a letter A-G (either case), an optional sharp
// '#' or flat 'b', and an octave from -1 to 9 (middle C = C4); none when `text` is no such
// name or names a key beyond 0..127.
std::optional<int32_t> ParseNoteName(const std::string& text);

// A range written as two note names, "A2-E4" (spaces around the dash, or an en dash, allowed).
// None, with `problem` saying why, when it is not one or its low note is not below the high.
std::optional<VoiceRange> ParseVoiceRange(const std::string& text, std::string& problem);

// "A2-E4".
std::string VoiceRangeText(const VoiceRange& range);

}  // namespace listening
