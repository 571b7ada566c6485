#pragma once

#include <memory>
#include <string>

#include "audio/AudioOutput.h"

namespace audio {

// Our own PulseAudio stream (PipeWire desktops serve it too). FluidSynth's PulseAudio driver
// makes one period the stream's whole buffer, which either runs dry under load or, with a
// long period, renders far ahead. Here the audio thread renders small blocks into a buffer a
// few blocks long: the server asks for a block whenever one has been played, and a late
// wake-up still finds the rest of the buffer playing.
constexpr int kPulseBlockFrames = 256;    // rendered at a time: 5.8 ms at 44.1 kHz
constexpr int kPulseBufferFrames = 1024;  // the stream's buffer: 23.2 ms at 44.1 kHz
// Once the source has been silent this long the stream is corked: the audio thread sleeps and
// the sound server can suspend its sink. The next sound uncorks it.
constexpr double kPulseRestAfterSeconds = 1.0;

// Connects to the desktop's sound server (never starting one) and starts a stream that
// renders from source. nullptr with error set when there is no server or it refuses.
std::unique_ptr<AudioOutput> OpenPulseOutput(const AudioOutputRequest& request, AudioSource& source,
                                             std::string& error);

}  // namespace audio
