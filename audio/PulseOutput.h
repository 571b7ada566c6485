#pragma once

#include <memory>
#include <string>

#include "audio/AudioOutput.h"

namespace audio {

// Our own PulseAudio stream (PipeWire desktops serve it too). FluidSynth's PulseAudio driver
// makes one period the stream's whole buffer, which either runs dry under load or, with a
// long period, renders far ahead. Here the audio thread renders small blocks into a buffer
// that is kept full: the server asks for a block whenever one has been played (early
// requests), and its sink holds just one block of its own. The buffer starts short (23 ms), so
// that a press is heard at once; it is there for the moments when the machine runs nothing at
// all (a virtual machine's host can stop every core for 100 ms and more), and what it holds is
// all that plays meanwhile. So each dropout doubles it at once, up to 186 ms, and the next
// stream starts with what this one grew to (see BufferMemory.h). A fixed lead asked for fixes
// it instead.
constexpr int kPulseBlockFrames = 256;  // rendered at a time: 5.8 ms at 44.1 kHz
// Once the source has been silent this long the stream is corked: the audio thread sleeps and
// the sound server can suspend its sink. The next sound uncorks it.
constexpr double kPulseRestAfterSeconds = 0.5;

// Connects to the desktop's sound server (never starting one) and starts a stream that
// renders from source. nullptr with error set when there is no server or it refuses.
std::unique_ptr<AudioOutput> OpenPulseOutput(const AudioOutputRequest& request, AudioSource& source,
                                             std::string& error);

}  // namespace audio
