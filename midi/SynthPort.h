#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "audio/AudioOutput.h"
#include "audio/StreamClock.h"
#include "midi/MidiPort.h"
#include "midi/SynthEngine.h"

namespace midi {

struct SynthPortOptions {
  std::string soundfont;             // "" = FindSoundfont()
  std::vector<std::string> drivers;  // empty = audio::AudioDriverOrder()
  std::string audioFile;             // output file of FluidSynth's "file" driver
  int latencyMs = 0;                 // a fixed latency; 0 = LatencySettingMs()
  // Starts the output for a driver name; empty = OpenAudioOutput (the real outputs).
  std::function<std::unique_ptr<audio::AudioOutput>(const audio::AudioOutputRequest&,
                                                    audio::AudioSource&, std::string&)>
      openOutput;
};

// The output latency: a message is heard this long after its due time. It leaves room for the
// output's buffer and for a tick that sends its note up to kLateAllowanceMs late; an output
// that renders further ahead gets a longer latency. It grows with the output's buffer, after a
// dropout: a note keeps the latency in force when it was sent.
constexpr int kOutputLatencyMs = 40;
constexpr int kLateAllowanceMs = 14;
// The most a fixed latency may be.
constexpr int kMaxLatencyMs = 1000;

// The latency TUNWICK_LATENCY_MS fixes (whole milliseconds, kOutputLatencyMs up to
// kMaxLatencyMs), 0 when it is not set or no such number: the output then chooses.
int LatencySettingMs();

// Device 0: the embedded synthesizer playing through an audio output, with the cue sound
// mixed into its stream. Messages and the cue are scheduled on the stream's frames: each is
// heard OutputLatencyMs() (in force when it is sent) after its due time, however late the call that
// sends it comes, as long as it comes within kLateAllowanceMs of that time. A message or cue wakes
// an output that rests while nothing sounds.
class CSynthPort : public MidiPort, private audio::AudioSource {
 public:
  explicit CSynthPort(SynthPortOptions options = {});
  ~CSynthPort() override;

  bool Open(MidiPortCallback callback, void* instance) override;
  bool SendShortMessage(uint32_t message) override;
  bool SendShortMessageAt(uint32_t message, std::chrono::steady_clock::time_point due) override;
  int32_t OutputLatencyMs() const override;
  void SetVolume(uint32_t volume) override;
  void Close() override;
  std::string ErrorText() const override { return error_; }
  int AudioSampleRate() const override;
  void StartCue(std::vector<float> stereoSamples,
                std::chrono::steady_clock::time_point due) override;
  void StopCue() override;
  void SetNoteStartLog(CNoteStartLog* log) override;

  // The driver that is running, "" while closed.
  const std::string& DriverName() const { return driverName_; }
  // The stream frame a sound due at `due` is heard at, kNoFrame while closed.
  int64_t FrameFor(std::chrono::steady_clock::time_point due) const;
  // Times the output's stream ran dry since Open.
  int64_t Underruns() const { return output_ ? output_->Underruns() : 0; }
  // Whether the output's stream rests (nothing has sounded for a while).
  bool Resting() const { return output_ && output_->Resting(); }

 private:
  int Process(int frames, int nfx, float* fx[], int nout, float* out[]) override;
  void Observe(int64_t steadyNs, double heardFrame) override;
  int64_t SilentFrames() const override { return engine_->SilentFrames(); }
  void SkipFrames(int64_t frames) override { engine_->SkipFrames(frames); }
  bool FrameHeardAt(int64_t steadyNs, double& frame) const override;

  SynthPortOptions options_;
  std::unique_ptr<CSynthEngine> engine_;
  std::unique_ptr<audio::CStreamClock> clock_;
  std::unique_ptr<audio::CStreamClock> retiredClock_;
  // The clock the output's thread reports to.
  std::atomic<audio::CStreamClock*> activeClock_{nullptr};
  std::unique_ptr<audio::AudioOutput> output_;
  std::string driverName_;
  int32_t fixedLatencyMs_ = 0;  // while open: the latency asked for, 0 = the output's choice
  std::string error_;
};

std::vector<std::string> SynthPortNames();
std::unique_ptr<MidiPort> CreateSynthPort(int index);

}  // namespace midi
