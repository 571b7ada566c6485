#pragma once

#include <aubio/aubio.h>

namespace capture {

// aubio, opened on first use rather than linked: it brings in FFmpeg and every codec FFmpeg
// links (some 140 libraries, about 28 MB resident and 30 ms to load), and only the sing-back
// ear needs it. These are the functions Tunwick calls.
struct AubioLibrary {
  decltype(&::new_aubio_pitch) newPitch;
  decltype(&::del_aubio_pitch) deletePitch;
  decltype(&::aubio_pitch_do) pitchDo;
  decltype(&::aubio_pitch_set_unit) pitchSetUnit;
  decltype(&::aubio_pitch_set_silence) pitchSetSilence;
  decltype(&::new_fvec) newVector;
  decltype(&::del_fvec) deleteVector;
  decltype(&::aubio_log_set_level_function) logSetLevelFunction;
};

// The shared library's name (its soname), as the loader looks it up.
extern const char kAubioLibraryName[];

// aubio, opened once for the process. Throws std::runtime_error naming the library and the
// loader's reason when it cannot be opened or lacks a function.
const AubioLibrary& Aubio();

}  // namespace capture
