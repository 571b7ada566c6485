#pragma once

namespace audio {

// Stops the ALSA library from printing its own complaints on stderr (once per process);
// the ports report their failures through their error text instead.
void SilenceAlsaLibrary();

}  // namespace audio
