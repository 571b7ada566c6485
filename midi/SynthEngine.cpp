#include "midi/SynthEngine.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>

#include "audio/FluidLog.h"
#include "midi/ShortMessage.h"

namespace midi {

namespace {

// Blocks start at origin + k * kBlockFrames.
// The block start nearest frame (ties go to the later one).
int64_t BlockStartNear(int64_t frame, int64_t origin) {
  const int64_t shifted = frame - origin + CSynthEngine::kBlockFrames / 2;
  int64_t blocks = shifted / CSynthEngine::kBlockFrames;
  if (shifted % CSynthEngine::kBlockFrames < 0) --blocks;
  return origin + blocks * CSynthEngine::kBlockFrames;
}

// The first block start at or after frame (frame >= origin).
int64_t BlockStartFrom(int64_t frame, int64_t origin) {
  return origin + (frame - origin + CSynthEngine::kBlockFrames - 1) / CSynthEngine::kBlockFrames *
                      CSynthEngine::kBlockFrames;
}

float Peak(const float* samples, int count) {
  float peak = 0.0f;
  for (int i = 0; i < count; ++i) peak = std::max(peak, std::fabs(samples[i]));
  return peak;
}

}  // namespace

CSynthEngine::CSynthEngine() {
  audio::CaptureFluidLog();
  settings_ = new_fluid_settings();
  if (settings_ == nullptr) return;
  fluid_settings_setnum(settings_, "synth.sample-rate", static_cast<double>(kSampleRate));
  // Only the presets a channel selects have their samples loaded: a large General MIDI
  // soundfont then opens about as fast and light as a small one.
  fluid_settings_setint(settings_, "synth.dynamic-sample-loading", 1);
  // Once loaded, the synthesizer is only ever called from the thread that renders it, so
  // FluidSynth need not lock around each call.
  fluid_settings_setint(settings_, "synth.threadsafe-api", 0);
}

CSynthEngine::~CSynthEngine() {
  if (synth_ != nullptr) delete_fluid_synth(synth_);
  if (settings_ != nullptr) delete_fluid_settings(settings_);
}

bool CSynthEngine::Load(const std::string& soundfontPath, std::string& error) {
  const uint64_t errorsBefore = audio::FluidErrorCount();
  auto fail = [&](const char* fallback) {
    error = audio::FluidErrorSince(errorsBefore);
    if (error.empty()) error = fallback;
    if (synth_ != nullptr) delete_fluid_synth(synth_);
    synth_ = nullptr;
    return false;
  };
  if (settings_ == nullptr) return fail("Unable to create the synthesizer's settings.");
  if (synth_ != nullptr) return true;
  synth_ = new_fluid_synth(settings_);
  if (synth_ == nullptr) return fail("Unable to create the synthesizer.");
  if (soundfontPath.empty()) return fail("No General MIDI soundfont found.");
  if (fluid_synth_sfload(synth_, soundfontPath.c_str(), 1) == FLUID_FAILED)
    return fail("Unable to load the soundfont.");
  fluid_synth_set_gain(synth_, appliedGain_);
  return true;
}

bool CSynthEngine::Schedule(uint32_t message, int64_t frame, int64_t dueNs, std::string& error) {
  if (synth_ == nullptr) {
    error = "The synthesizer is not loaded.";
    return false;
  }
  std::lock_guard<std::mutex> hold(sendLock_);
  if (!queue_.Push({frame, dueNs, message})) {
    error = "Too many messages are waiting for the synthesizer to play them.";
    return false;
  }
  return true;
}

void CSynthEngine::SetVolume(uint32_t volume) {
  gain_.store(kFullGain * static_cast<float>(volume & 0xFFFF) / 65535.0f,
              std::memory_order_relaxed);
}

void CSynthEngine::Play(const Scheduled& scheduled, int64_t position) {
  ShortMessageBytes m;
  if (!DecodeShortMessage(scheduled.message, m)) return;
  const int channel = m.bytes[0] & 0x0F;
  const int data1 = m.bytes[1];
  const int data2 = m.bytes[2];
  // Like any MIDI receiver the synthesizer takes every valid message: a note it cannot sound
  // (every voice busy, no instrument for the program) is dropped, not reported as a failure.
  switch (m.bytes[0] & 0xF0) {
    case 0x80:
      fluid_synth_noteoff(synth_, channel, data1);
      break;
    case 0x90:
      if (data2 == 0) {
        fluid_synth_noteoff(synth_, channel, data1);
      } else {
        fluid_synth_noteon(synth_, channel, data1, data2);
        if (CNoteStartLog* log = noteStartLog_.load(std::memory_order_acquire)) {
          const int64_t wanted = scheduled.frame == kNextFrame ? position : scheduled.frame;
          log->Record(
              {scheduled.message, scheduled.dueNs, wanted, BlockStartFrom(position, blockOrigin_)});
        }
      }
      break;
    case 0xA0:
      fluid_synth_key_pressure(synth_, channel, data1, data2);
      break;
    case 0xB0:
      fluid_synth_cc(synth_, channel, data1, data2);
      break;
    case 0xC0:
      // With dynamic sample loading a preset not used before loads its samples here.
      fluid_synth_program_change(synth_, channel, data1);
      break;
    case 0xD0:
      fluid_synth_channel_pressure(synth_, channel, data1);
      break;
    case 0xE0:
      fluid_synth_pitch_bend(synth_, channel, data1 | (data2 << 7));
      break;
    default:
      if (m.bytes[0] == 0xFF) fluid_synth_system_reset(synth_);
      break;
  }
}

void CSynthEngine::Render(int frames, float* left, float* right) {
  float* out[2] = {left, right};
  Process(frames, 0, nullptr, 2, out);
}

int CSynthEngine::Process(int frames, int nfx, float* fx[], int nout, float* out[]) {
  if (synth_ == nullptr || nout < 2) return FLUID_FAILED;
  if (frames <= 0) return FLUID_OK;
  const float gain = gain_.load(std::memory_order_relaxed);
  if (gain != appliedGain_) {
    fluid_synth_set_gain(synth_, gain);
    appliedGain_ = gain;
  }
  const int64_t first = renderedFrames_.load(std::memory_order_relaxed);
  int result = FLUID_OK;
  for (int done = 0; done < frames;) {
    const int64_t position = first + done;
    // Play every message whose block starts here (or has passed); render up to the next.
    int64_t until = first + frames;
    while (const Scheduled* next = queue_.Front()) {
      if (next->frame != kNextFrame) {
        const int64_t at = BlockStartNear(next->frame, blockOrigin_);
        if (at > position) {
          until = std::min(until, at);
          break;
        }
      }
      Play(*next, position);
      playedAt_ = position;
      queue_.Pop();
    }
    const int count = static_cast<int>(until - position);
    if (RenderPart(done, count, nfx, fx, nout, out) == FLUID_FAILED) result = FLUID_FAILED;
    done += count;
  }
  cue_.MixInto(out[0], out[1], frames, first);
  // The player sends no note-offs: a note's voice may hold on far below hearing after its
  // sound has died away, so the level decides, not the count of voices.
  const bool ringing =
      first + frames - playedAt_ < static_cast<int64_t>(kRingSeconds * kSampleRate);
  const float silence = ringing ? kSilenceLevel : kQuietLevel;
  if (cue_.Playing() || std::max(Peak(out[0], frames), Peak(out[1], frames)) >= silence)
    soundedUntil_ = first + frames;
  renderedFrames_.store(first + frames, std::memory_order_release);
  return result;
}

int64_t CSynthEngine::SilentFrames() const {
  if (queue_.Front() != nullptr) return 0;
  return renderedFrames_.load(std::memory_order_relaxed) - soundedUntil_;
}

void CSynthEngine::SkipFrames(int64_t frames) {
  if (frames <= 0) return;
  blockOrigin_ += frames;
  soundedUntil_ += frames;
  playedAt_ += frames;
  renderedFrames_.store(renderedFrames_.load(std::memory_order_relaxed) + frames,
                        std::memory_order_release);
}

int CSynthEngine::RenderPart(int offset, int count, int nfx, float* fx[], int nout, float* out[]) {
  // Buffer pointers moved to offset; the drivers pass two to four of each.
  constexpr int kMaxBuffers = 16;
  float* dry[kMaxBuffers];
  float* effects[kMaxBuffers];
  nout = std::min(nout, kMaxBuffers);
  for (int i = 0; i < nout; ++i) dry[i] = out[i] + offset;
  if (nfx == 0) {
    // The drivers other than JACK give no effects buffers: mix reverb and chorus into the
    // dry output.
    float* mixed[4] = {dry[0], dry[1], dry[0], dry[1]};
    return fluid_synth_process(synth_, count, 4, mixed, nout, dry);
  }
  nfx = std::min(nfx, kMaxBuffers);
  for (int i = 0; i < nfx; ++i) effects[i] = fx[i] + offset;
  return fluid_synth_process(synth_, count, nfx, effects, nout, dry);
}

}  // namespace midi
