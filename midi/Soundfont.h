#pragma once

#include <string>
#include <vector>

namespace midi {

// Where the synthesizer looks for its General MIDI soundfont, in order: the file named by
// TUNWICK_SOUNDFONT, FluidSynth's synth.default-soundfont, Debian's default-GM.sf2
// alternative, and the file of the TimGM6mb package that the set-up installs.
std::vector<std::string> SoundfontCandidates();

// The first readable file of candidates, or "" when there is none.
std::string FirstReadableFile(const std::vector<std::string>& candidates);

// The soundfont the synthesizer loads, or "" when none is found.
std::string FindSoundfont();

}  // namespace midi
