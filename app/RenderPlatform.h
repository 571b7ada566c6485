#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "midi/OfflineSynth.h"
#include "playback/PlayerPlatform.h"

// Where rendered audio goes: interleaved 16-bit stereo frames at 44.1 kHz, block by block.
// Returns false to stop the render (a write failed).
using AudioBlockSink = std::function<bool(const int16_t* interleavedStereo, int frames)>;

// The player's platform on a virtual clock for offline rendering: time passes only as audio
// is rendered. Each tick renders 10 ms, each wait that many milliseconds, and a cue sound its
// own length with the cue mixed in; notes go to the offline synthesizer.
class CRenderPlatform : public PlayerPlatform {
 public:
  static constexpr int kSampleRate = midi::COfflineSynth::kSampleRate;

  CRenderPlatform(midi::COfflineSynth& synth, AudioBlockSink sink);

  // Renders ms milliseconds (frames counted exactly: 441 per tick).
  void RenderMs(int64_t ms);
  void RenderFrames(int64_t frames);

  bool TimerSet() const { return timerSet_; }
  int TimerStarts() const { return timerStarts_; }
  int64_t RenderedFrames() const { return renderedFrames_; }
  // The sink refused a block; nothing more is rendered.
  bool SinkFailed() const { return sinkFailed_; }
  // The length of the named cue sound as it is rendered.
  int64_t CueMs(const char* name);

  // PlayerPlatform.
  void SetTimer1() override;
  void KillTimer1() override;
  int32_t ClockMs() override;
  void SleepMs(int32_t ms) override;
  void PlayCueSound(const char* name) override;
  void SetVolume(uint32_t volume) override;
  void SendShortMessage(uint32_t message) override;
  void ShowMessage(const char* text) override;

  std::vector<std::string> messages;

 private:
  midi::COfflineSynth& synth_;
  AudioBlockSink sink_;
  // The cue sound's samples, decoded once for every time it plays.
  const std::vector<float>& Cue(const char* name);

  std::vector<int16_t> block_;
  std::string cueName_;
  std::vector<float> cueSamples_;
  bool cueLoaded_ = false;
  bool timerSet_ = false;
  int timerStarts_ = 0;
  int64_t renderedFrames_ = 0;
  bool sinkFailed_ = false;
};
