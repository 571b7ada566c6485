#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "audio/CueSound.h"
#include "midi/OfflineSynth.h"
#include "playback/Player.h"
#include "playback/PlayerPlatform.h"

// Where rendered audio goes: interleaved 16-bit stereo frames at 44.1 kHz, block by block.
// Returns false to stop the render (a write failed).
using AudioBlockSink = std::function<bool(const int16_t* interleavedStereo, int frames)>;

// The player's platform on a virtual clock for offline rendering. The clock moves a tick at
// a time; the audio follows it, rendered only after the tick has scheduled its notes, so every
// note and cue lands on the frame of its exact due millisecond.
class CRenderPlatform : public PlayerPlatform {
 public:
  static constexpr int kSampleRate = midi::COfflineSynth::kSampleRate;

  CRenderPlatform(midi::COfflineSynth& synth, AudioBlockSink sink);

  // Moves the clock one timer period on.
  void AdvanceTick() { clockMs_ += kTimerPeriodMs; }
  // Renders the audio up to the clock.
  void RenderToClock();
  void RenderFrames(int64_t frames);

  bool TimerSet() const { return timerSet_; }
  int64_t RenderedFrames() const { return renderedFrames_; }
  // The sink refused a block; nothing more is rendered.
  bool SinkFailed() const { return sinkFailed_; }
  // The length of the named cue sound as it is rendered.
  int64_t CueMs(const char* name);

  // PlayerPlatform.
  void SetTimer1() override;
  void KillTimer1() override;
  int32_t ClockMs() override;
  int32_t StartCueSound(const char* name, int32_t dueMs) override;
  void StopCueSound() override;
  void SetVolume(uint32_t volume) override;
  void SendShortMessage(uint32_t message, int32_t dueMs) override;
  void ShowMessage(const char* text) override;

  std::vector<std::string> messages;

 private:
  midi::COfflineSynth& synth_;
  AudioBlockSink sink_;
  std::vector<int16_t> block_;
  audio::CCueCache cues_;
  bool timerSet_ = false;
  int64_t renderedFrames_ = 0;
  int64_t clockMs_ = 0;
  bool sinkFailed_ = false;
};
