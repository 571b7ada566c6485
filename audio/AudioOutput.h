#pragma once

// The synthesizer's (and the cue's) way to a sound output: one interface, one file per
// backend, chosen through one table in order of preference.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

typedef struct _fluid_hashtable_t fluid_settings_t;

namespace audio {

// What an output plays: called on the output's own audio thread.
class AudioSource {
 public:
  virtual ~AudioSource() = default;
  // Adds the stream's next frames to the buffers, which hold zeros: nout dry channels and
  // nfx effects channels as FluidSynth's drivers pass them (nfx 0: none).
  virtual int Process(int frames, int nfx, float* fx[], int nout, float* out[]) = 0;
  // What the output measured: the stream frame heard at steadyNs (steady clock).
  virtual void Observe(int64_t /*steadyNs*/, double /*heardFrame*/) {}
  // Frames rendered since anything last sounded or waited to sound: an output may rest its
  // stream once they last long enough. 0: never rest.
  virtual int64_t SilentFrames() const { return 0; }
  // The output rested its stream: the next frame rendered is heard `frames` later than the
  // frames before it imply, so the source numbers it that much further on.
  virtual void SkipFrames(int64_t /*frames*/) {}
  // The frame heard at steadyNs as the source's clock maps it; false when it has no map yet.
  virtual bool FrameHeardAt(int64_t /*steadyNs*/, double& /*frame*/) const { return false; }
};

struct AudioOutputRequest {
  std::string driver;                    // a name from the table, or any FluidSynth driver
  std::string streamName;                // what the sound server shows for the stream
  int sampleRate = 44100;                // the rate asked for
  fluid_settings_t* settings = nullptr;  // FluidSynth's drivers read their settings here
  // How far ahead to render, fixed; 0: the output's own choice (our PulseAudio stream starts
  // short and grows after a dropout). FluidSynth's drivers keep their own periods.
  double leadSeconds = 0.0;
};

// A running output; destroying it stops the audio thread.
class AudioOutput {
 public:
  virtual ~AudioOutput() = default;
  // The stream's sample rate.
  virtual int SampleRate() const = 0;
  // The most the output renders ahead of what is heard, in seconds: a message must be
  // queued that long before its frame is heard. It may grow after a dropout. Any thread.
  virtual double LeadSeconds() const = 0;
  // False once the output has stopped for good (the sound server went away).
  virtual bool Running() const { return true; }
  // Times the stream ran dry (each is an audible gap), where the output can tell.
  virtual int64_t Underruns() const { return 0; }
  // Something is about to sound: a resting stream starts again at once. Any thread but the
  // output's own.
  virtual void Wake() {}
  // Whether the stream rests now: nothing rendered, the audio thread asleep.
  virtual bool Resting() const { return false; }
};

// Starts an output rendering from source; nullptr with error set on failure.
using AudioOutputFactory = std::unique_ptr<AudioOutput> (*)(const AudioOutputRequest& request,
                                                            AudioSource& source,
                                                            std::string& error);

struct AudioOutputBackend {
  const char* name;
  AudioOutputFactory open;
};

// Our own outputs in order of preference: PulseAudio (which PipeWire desktops also serve),
// then FluidSynth's ALSA and JACK drivers.
const std::vector<AudioOutputBackend>& AudioOutputBackends();

// The driver names tried, in order: TUNWICK_AUDIO_DRIVER alone when it is set, else the
// table's.
std::vector<std::string> AudioDriverOrder();

// Starts the output request.driver names: the table's entry, else FluidSynth's driver of that
// name.
std::unique_ptr<AudioOutput> OpenAudioOutput(const AudioOutputRequest& request, AudioSource& source,
                                             std::string& error);

// Starts one driver's output; nullptr with `error` set when it does not start.
using AudioDriverAttempt =
    std::function<std::unique_ptr<AudioOutput>(const std::string& driver, std::string& error)>;

// Tries each of `drivers` in order: the first output that starts, with `driver` set to its
// name. When none starts, nullptr with `error` the most preferred driver's complaint (on a
// desktop it is the one that matters), or "No audio driver to try." when there was none.
std::unique_ptr<AudioOutput> OpenFirstWorkingOutput(const std::vector<std::string>& drivers,
                                                    const AudioDriverAttempt& attempt,
                                                    std::string& driver, std::string& error);

// Gives the calling thread real-time priority where the system allows it, else raises it
// above normal where allowed. Returns what it got: "real-time", "raised" or "normal".
const char* RaiseAudioThreadPriority();

}  // namespace audio
