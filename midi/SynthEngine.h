#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <mutex>
#include <string>

#include "audio/CueMixer.h"
#include "midi/NoteStartLog.h"
#include "midi/SpscRing.h"

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;

namespace midi {

// The embedded synthesizer: FluidSynth with one General MIDI soundfont, rendering at 44.1 kHz
// with the cue mixer added to its output. The live port and the offline renderer share it.
//
// Messages are scheduled on the frames of the rendered stream: a queue hands them from the
// sending thread to the rendering thread without locks or allocation, and the render stops at
// each message's frame to play it there. FluidSynth starts voices only at the start of its
// own blocks of kBlockFrames frames (counted from the first frame rendered), so a message is
// played at the block start nearest its frame: at most half a block (0.73 ms) early or late.
// Messages keep the order they were sent in: one never plays before a message sent earlier.
// The cue starts at its frame exactly. An output that rests its stream while nothing sounds
// asks how long the engine has been silent, and tells it how many frames the rest lasted.
class CSynthEngine {
 public:
  static constexpr int kSampleRate = 44100;
  // Output gain at full volume (0xFFFF); FluidSynth's own default of 0.2 is rather quiet for
  // a single melody line.
  static constexpr float kFullGain = 0.8f;
  // FluidSynth's internal block: voices start at multiples of it.
  static constexpr int kBlockFrames = 64;
  // A frame that means "the next frame rendered".
  static constexpr int64_t kNextFrame = std::numeric_limits<int64_t>::min();
  // Messages that can wait for their frame at one time.
  static constexpr size_t kQueueCapacity = 4096;
  // Output below this level (-80 dBFS), with no cue sounding, is silence.
  static constexpr float kSilenceLevel = 1e-4f;
  // Once no message has been played for kRingSeconds, output below kQuietLevel (-40 dBFS, some
  // 25 dB under a note's attack at full volume) is silence too: a piano's decay lingers above
  // -80 dBFS for some 9 s after its last note, which no one listens for.
  static constexpr float kQuietLevel = 1e-2f;
  static constexpr double kRingSeconds = 2.0;

  CSynthEngine();
  ~CSynthEngine();
  CSynthEngine(const CSynthEngine&) = delete;
  CSynthEngine& operator=(const CSynthEngine&) = delete;

  // Creates the synthesizer and loads the soundfont; false with error set on failure. Only
  // the samples of the presets in use are loaded, when a channel first selects them.
  bool Load(const std::string& soundfontPath, std::string& error);
  bool Loaded() const { return synth_ != nullptr; }

  // Schedules one packed short message for `frame` of the rendered stream (kNextFrame: the
  // next frame rendered); dueNs is only recorded in the note start log. False with error set
  // when nothing is loaded or the queue is full (no audio thread takes the messages). A word
  // that is no valid MIDI message, or a note no voice is free for, is dropped without error.
  // Any thread; concurrent senders take turns.
  bool Schedule(uint32_t message, int64_t frame, int64_t dueNs, std::string& error);
  // The same for the next frame rendered.
  bool SendShortMessage(uint32_t message, std::string& error) {
    return Schedule(message, kNextFrame, 0, error);
  }
  // The low word sets the level of both channels (0xFFFF full, 0 silent); the high word,
  // which the player leaves 0, is ignored so that no channel is muted. Takes effect from the
  // next block rendered. Any thread.
  void SetVolume(uint32_t volume);
  // Records every note-on started in log until it is set to nullptr. Any thread; the log
  // must outlive its use.
  void SetNoteStartLog(CNoteStartLog* log) { noteStartLog_.store(log); }

  // Renders the next frames into left and right, which must hold zeros, and adds the cue.
  // The rendering thread only.
  void Render(int frames, float* left, float* right);
  // The same for an audio driver's buffers (dry and effects channels as FluidSynth passes them).
  int Process(int frames, int nfx, float* fx[], int nout, float* out[]);
  // Frames rendered so far, skipped ones included. Any thread.
  int64_t RenderedFrames() const { return renderedFrames_.load(std::memory_order_acquire); }
  // Frames rendered since the last one that sounded (the cue, or output above kSilenceLevel,
  // kQuietLevel once the last message has rung kRingSeconds: a voice, a reverb tail); 0 while
  // a message waits to be played. The rendering thread only.
  int64_t SilentFrames() const;
  // The output rested its stream: the next frame rendered is `frames` later than the last.
  // Messages and the cue keep their frames; FluidSynth's blocks go on where they stopped.
  // The rendering thread only (or with it held).
  void SkipFrames(int64_t frames);

  fluid_settings_t* Settings() const { return settings_; }
  audio::CCueMixer& Cue() { return cue_; }

 private:
  struct Scheduled {
    int64_t frame;
    int64_t dueNs;
    uint32_t message;
  };

  // Plays one message on the rendering thread, the stream being at frame position.
  void Play(const Scheduled& scheduled, int64_t position);
  // Renders `count` frames into the buffers from `offset` on.
  int RenderPart(int offset, int count, int nfx, float* fx[], int nout, float* out[]);

  fluid_settings_t* settings_ = nullptr;
  fluid_synth_t* synth_ = nullptr;
  audio::CCueMixer cue_;
  CSpscRing<Scheduled, kQueueCapacity> queue_;
  std::mutex sendLock_;  // senders only; the rendering thread never takes it
  std::atomic<float> gain_{kFullGain};
  float appliedGain_ = kFullGain;
  std::atomic<CNoteStartLog*> noteStartLog_{nullptr};
  std::atomic<int64_t> renderedFrames_{0};
  // The rendering thread's own: where FluidSynth's blocks start (they move with a skip), the
  // frame after the last one that sounded, and the frame the last message was played at.
  int64_t blockOrigin_ = 0;
  int64_t soundedUntil_ = 0;
  int64_t playedAt_ = 0;
};

}  // namespace midi
