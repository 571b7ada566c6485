#pragma once

#include <memory>
#include <string>

#include "audio/AudioOutput.h"

namespace audio {

// FluidSynth's own audio drivers (ALSA, JACK, or any other it was built with), rendering
// from our source through its callback: 4 periods of 256 frames, 23.2 ms at 44.1 kHz.
constexpr int kAudioPeriodSize = 256;
constexpr int kAudioPeriods = 4;

// Starts FluidSynth's driver request.driver with request.settings. The stream's timing is
// estimated from the times of the driver's calls and its buffering. nullptr with FluidSynth's
// complaint in error on failure.
std::unique_ptr<AudioOutput> OpenFluidDriverOutput(const AudioOutputRequest& request,
                                                   AudioSource& source, std::string& error);

}  // namespace audio
