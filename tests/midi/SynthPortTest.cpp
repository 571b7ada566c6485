#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>

#include "audio/CueSound.h"
#include "audio/DesktopCue.h"
#include "audio/FluidDriverOutput.h"
#include "audio/PulseOutput.h"
#include "midi/MidiOutDevice.h"
#include "midi/NoteStartLog.h"
#include "midi/Soundfont.h"
#include "midi/SynthPort.h"
#include "tests/midi/MidiTestSupport.h"
#include "tests/support/EnvOverride.h"
#include "tests/support/TempFolder.h"
#include "tests/support/WavFile.h"

namespace {

using testsupport::EnvOverride;

// The live output. Where there is no sound card, every driver fails and FluidSynth's own
// complaint reaches the caller.

class SynthPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!miditest::FileExists(TUNWICK_TEST_SOUNDFONT))
      GTEST_SKIP() << "the soundfont " TUNWICK_TEST_SOUNDFONT " is not installed";
    options.soundfont = TUNWICK_TEST_SOUNDFONT;
  }
  midi::SynthPortOptions options;
};

TEST_F(SynthPortTest, UnknownDriverFailsWithFluidSynthsText) {
  options.drivers = {"no-such-driver"};
  midi::CSynthPort port(options);
  EXPECT_FALSE(port.Open(nullptr, nullptr));
  EXPECT_NE(port.ErrorText().find("no-such-driver"), std::string::npos) << port.ErrorText();
  EXPECT_EQ(port.AudioSampleRate(), 0);
  EXPECT_FALSE(port.SendShortMessage(0x7F3C90));
}

TEST_F(SynthPortTest, MissingSoundfontFails) {
  options.soundfont = "/nonexistent/none.sf2";
  midi::CSynthPort port(options);
  EXPECT_FALSE(port.Open(nullptr, nullptr));
  EXPECT_FALSE(port.ErrorText().empty());
}

TEST_F(SynthPortTest, WithoutSoundOutputEveryDriverFailsWithFluidSynthsText) {
  if (miditest::HasAudioOutput()) GTEST_SKIP() << "this machine has sound output";
  midi::CSynthPort port(options);
  if (port.Open(nullptr, nullptr))
    GTEST_SKIP() << "a sound server answered (" << port.DriverName() << ")";
  const std::string text = port.ErrorText();
  EXPECT_FALSE(text.empty());
  // FluidSynth's words, not our fallback for a driver that failed in silence.
  EXPECT_EQ(text.find("Unable to start the audio driver"), std::string::npos) << text;

  // Through the device: the same text, cut to the exception's buffer; the device stays
  // closed, sends nothing and the cue returns at once.
  CMIDIOutDevice device([this](int) -> std::unique_ptr<midi::MidiPort> {
    return std::make_unique<midi::CSynthPort>(options);
  });
  try {
    device.Open(0);
    FAIL() << "Open should have failed";
  } catch (const std::exception& e) {
    EXPECT_EQ(std::string(e.what()), text.substr(0, 127));
  }
  EXPECT_FALSE(device.IsOpened());
  device.SendShortMessage(0x7F3C90);
  EXPECT_EQ(device.StartCueSound(TUNWICK_TEST_LUMO, std::chrono::steady_clock::now()), 600);
}

// The live port over a fake output that the test drives as its audio thread would: it renders
// 256-frame blocks, and reports that the stream frame it renders is heard 23.2 ms later. A
// note sent with its due time is heard exactly OutputLatencyMs() after it, to the synthesizer's
// block, however late within the allowance the send comes.
class CFakeOutput : public audio::AudioOutput {
 public:
  static constexpr int kBlock = 256;
  static constexpr int kAhead = 1024;  // frames rendered ahead of the one heard

  explicit CFakeOutput(audio::AudioSource& source) : source_(source) {}
  int SampleRate() const override { return 44100; }
  double LeadSeconds() const override { return static_cast<double>(kAhead) / 44100; }

  // The audio thread's work up to steady time nowNs: every block due by then.
  // A block is rendered when its last frame is kAhead frames from being heard.
  void RunUntil(int64_t nowNs) {
    while (NsOfFrame(rendered_ + kBlock - kAhead) <= nowNs) {
      const int64_t heard = rendered_ + kBlock - kAhead;
      source_.Observe(NsOfFrame(heard), static_cast<double>(heard));
      float left[kBlock] = {}, right[kBlock] = {};
      float* out[2] = {left, right};
      source_.Process(kBlock, 0, nullptr, 2, out);
      sound.insert(sound.end(), left, left + kBlock);
      rendered_ += kBlock;
    }
  }
  // The steady time at which a stream frame is heard.
  int64_t NsOfFrame(int64_t frame) const { return origin_ + frame * 1000000000LL / 44100; }
  void SetOrigin(int64_t origin) { origin_ = origin; }
  int64_t Rendered() const { return rendered_; }

  std::vector<float> sound;  // the left channel of every frame rendered

 private:
  audio::AudioSource& source_;
  int64_t origin_ = 0;
  int64_t rendered_ = 0;  // frame 0 is heard at origin_, rendered kAhead frames before
};

TEST_F(SynthPortTest, NotesAreHeardAtTheirDueTimePlusTheLatencyHoweverLateTheSend) {
  using Clock = std::chrono::steady_clock;
  const int64_t origin =
      std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
  CFakeOutput* output = nullptr;
  options.drivers = {"fake"};
  options.openOutput = [&](const audio::AudioOutputRequest& request, audio::AudioSource& source,
                           std::string&) -> std::unique_ptr<audio::AudioOutput> {
    EXPECT_EQ(request.driver, "fake");
    auto fake = std::make_unique<CFakeOutput>(source);
    fake->SetOrigin(origin);
    fake->RunUntil(origin + 50000000);  // the stream has settled when Open looks
    output = fake.get();
    return fake;
  };
  midi::CSynthPort port(options);
  ASSERT_TRUE(port.Open(nullptr, nullptr)) << port.ErrorText();
  EXPECT_EQ(port.DriverName(), "fake");
  // 23.2 ms of buffer and 14 ms for a late tick fit in 40 ms.
  ASSERT_EQ(port.OutputLatencyMs(), 40);
  midi::CNoteStartLog log;
  port.SetNoteStartLog(&log);

  // Due times every 333 ms from 1 s on; each sent from 0 to 13 ms late.
  const int64_t ms = 1000000;
  struct Sent {
    int64_t dueNs;
    int64_t heardFrame;  // the frame heard at due + 40 ms
  };
  std::vector<Sent> sent;
  for (int i = 0; i < 30; ++i) {
    const int64_t due = origin + 1000 * ms + i * 333 * ms + (i * 7) % 5 * ms / 3;
    const int64_t late = (i * 37) % 14 * ms;
    output->RunUntil(due + late);
    ASSERT_TRUE(port.SendShortMessageAt(0x7F0090u | static_cast<uint32_t>(48 + i) << 8,
                                        Clock::time_point(std::chrono::nanoseconds(due))))
        << port.ErrorText();
    sent.push_back({due, ((due + 40 * ms - origin) * 44100 + 500000000) / 1000000000});
  }
  output->RunUntil(sent.back().dueNs + 200 * ms);
  for (size_t i = 0; i < sent.size(); ++i) {
    SCOPED_TRACE(i);
    midi::NoteStart start;
    ASSERT_TRUE(log.Take(start));
    EXPECT_EQ(start.dueNs, sent[i].dueNs);
    EXPECT_NEAR(static_cast<double>(start.wantedFrame), static_cast<double>(sent[i].heardFrame),
                1.0);
    EXPECT_LE(std::llabs(start.startFrame - start.wantedFrame),
              midi::CSynthEngine::kBlockFrames / 2);
  }
  port.SetNoteStartLog(nullptr);
  port.Close();
}

// The cue, scheduled on the same clock, starts on the very frame its due time maps to.
TEST_F(SynthPortTest, TheCueStartsOnTheFrameItsDueTimeMapsTo) {
  const int64_t origin = 5000000000;
  CFakeOutput* output = nullptr;
  options.drivers = {"fake"};
  options.openOutput = [&](const audio::AudioOutputRequest&, audio::AudioSource& source,
                           std::string&) -> std::unique_ptr<audio::AudioOutput> {
    auto fake = std::make_unique<CFakeOutput>(source);
    fake->SetOrigin(origin);
    fake->RunUntil(origin + 50000000);
    output = fake.get();
    return fake;
  };
  midi::CSynthPort port(options);
  ASSERT_TRUE(port.Open(nullptr, nullptr));
  const int64_t ms = 1000000;
  for (int64_t late : {int64_t{0}, 9 * ms, 13 * ms}) {
    SCOPED_TRACE(late / ms);
    const int64_t due = output->NsOfFrame(output->Rendered()) + 100 * ms + late / 3;
    output->RunUntil(due + late);
    port.StartCue(std::vector<float>(2 * 100, 0.25f),
                  std::chrono::steady_clock::time_point(std::chrono::nanoseconds(due)));
    output->RunUntil(due + 200 * ms);
    const int64_t heard = ((due + 40 * ms - origin) * 44100 + 500000000) / 1000000000;
    const auto sound = [&](int64_t frame) { return output->sound.at(frame); };
    // (The synthesizer adds a noise floor far below a 16-bit step.)
    EXPECT_NEAR(sound(heard - 1), 0.0f, 1e-5);
    EXPECT_NEAR(sound(heard), 0.25f, 1e-5);
    EXPECT_NEAR(sound(heard + 99), 0.25f, 1e-5);
    EXPECT_NEAR(sound(heard + 100), 0.0f, 1e-5);
  }
}

// An output that rests as the PulseAudio one does: once the source has been silent for a
// second it stops rendering and its stream's time stands still; a send wakes it, and the
// source skips the frames the rest lasted. Its stream frames are heard at origin_ plus the
// stream's own time plus the rests.
class CRestingOutput : public audio::AudioOutput {
 public:
  static constexpr int kBlock = 256;
  static constexpr int kAhead = 1024;

  CRestingOutput(audio::AudioSource& source, int64_t origin) : source_(source), origin_(origin) {}
  int SampleRate() const override { return 44100; }
  double LeadSeconds() const override { return static_cast<double>(kAhead) / 44100; }
  bool Resting() const override { return resting_; }
  void Wake() override {
    if (!resting_) return;
    const int64_t frames = std::llround(static_cast<double>(now_ - restNs_) * 44100 / 1e9);
    source_.SkipFrames(frames);
    restedFrames_ += frames;
    resting_ = false;
    ++wakes;
  }

  // The audio thread's work up to steady time nowNs.
  void RunUntil(int64_t nowNs) {
    while (!resting_ && TimeOfStreamFrame(streamFrames_ + kBlock - kAhead) <= nowNs) {
      const int64_t heard = streamFrames_ + kBlock - kAhead;
      now_ = TimeOfStreamFrame(heard);
      source_.Observe(now_, static_cast<double>(heard + restedFrames_));
      float left[kBlock] = {}, right[kBlock] = {};
      float* out[2] = {left, right};
      source_.Process(kBlock, 0, nullptr, 2, out);
      for (int i = 0; i < kBlock; ++i)
        if (std::fabs(left[i]) > 1e-3f && onsets.size() < 64 &&
            (onsets.empty() || TimeOfStreamFrame(streamFrames_ + i) - onsets.back() > 100000000))
          onsets.push_back(TimeOfStreamFrame(streamFrames_ + i));
      streamFrames_ += kBlock;
      if (source_.SilentFrames() >= 44100) {
        resting_ = true;
        restNs_ = now_;
      }
    }
    now_ = nowNs;
  }
  // When a frame of the stream is heard: the stream's time stands still while it rests.
  int64_t TimeOfStreamFrame(int64_t frame) const {
    return origin_ + (frame + restedFrames_) * 1000000000LL / 44100;
  }

  std::vector<int64_t> onsets;  // steady times at which a sound was first heard
  int wakes = 0;

 private:
  audio::AudioSource& source_;
  const int64_t origin_;
  int64_t streamFrames_ = 0;  // frames rendered into the stream: its own time
  int64_t restedFrames_ = 0;
  int64_t now_ = 0;
  int64_t restNs_ = 0;
  bool resting_ = false;
};

// After the stream has rested, a note is still heard at its due time plus the latency, to
// the synthesizer's block, however long the rest; and its sound starts on the block start
// the synthesizer reports, whatever the block's phase after the rest.
TEST_F(SynthPortTest, AfterARestNotesAreStillHeardAtTheirDueTimePlusTheLatency) {
  const int64_t ms = 1000000;
  const int64_t origin = 7000 * ms;
  CRestingOutput* output = nullptr;
  options.drivers = {"resting"};
  options.openOutput = [&](const audio::AudioOutputRequest&, audio::AudioSource& source,
                           std::string&) -> std::unique_ptr<audio::AudioOutput> {
    auto fake = std::make_unique<CRestingOutput>(source, origin);
    fake->RunUntil(origin + 50 * ms);
    output = fake.get();
    return fake;
  };
  midi::CSynthPort port(options);
  ASSERT_TRUE(port.Open(nullptr, nullptr));
  ASSERT_EQ(port.OutputLatencyMs(), 40);
  midi::CNoteStartLog log;
  port.SetNoteStartLog(&log);
  // The steady time at which a frame of the synthesizer's is heard.
  const auto heardAt = [&](int64_t frame) { return origin + frame * 1000000000LL / 44100; };
  // Plays one note due at `due`, sent `late` after it; returns how long after the
  // synthesizer's block start its sound begins.
  const auto play = [&](int64_t due, int64_t late) -> int64_t {
    output->RunUntil(due + late);
    output->onsets.clear();
    const auto at = [](int64_t ns) {
      return std::chrono::steady_clock::time_point(std::chrono::nanoseconds(ns));
    };
    EXPECT_TRUE(port.SendShortMessageAt(0x7F3C90, at(due)));
    EXPECT_FALSE(port.Resting());
    output->RunUntil(due + 300 * ms);
    EXPECT_TRUE(port.SendShortMessageAt(0x003C80, at(due + 300 * ms)));
    midi::NoteStart start;
    EXPECT_TRUE(log.Take(start));
    EXPECT_FALSE(output->onsets.empty());
    if (output->onsets.empty()) return 0;
    EXPECT_NEAR(static_cast<double>(heardAt(start.wantedFrame) - due) / ms, 40.0, 0.03);
    EXPECT_LE(std::llabs(start.startFrame - start.wantedFrame),
              midi::CSynthEngine::kBlockFrames / 2);
    return output->onsets.front() - heardAt(start.startFrame);
  };
  play(origin + 100 * ms, 0);  // loads the instrument
  int64_t now = origin + 400 * ms;
  // Rests of odd lengths: the frames skipped are no whole number of blocks, and the block
  // phase after each differs. Every note's sound starts equally soon after its block start.
  std::vector<int64_t> attacks;
  for (int64_t restMs : {2500, 3717, 2222, 60001, 4321}) {
    SCOPED_TRACE(restMs);
    now += restMs * ms;
    output->RunUntil(now);
    ASSERT_TRUE(port.Resting());
    attacks.push_back(play(now, 3 * ms));  // sent 3 ms late, as by the tick that wakes it
    now += 300 * ms;
  }
  const auto [first, last] = std::minmax_element(attacks.begin(), attacks.end());
  EXPECT_LE(*last - *first, 2 * 1000000000LL / 44100) << "the block phase was lost in a rest";
  EXPECT_EQ(output->wakes, 5);
  port.SetNoteStartLog(nullptr);
  port.Close();
}

TEST_F(SynthPortTest, AnOutputThatRendersFurtherAheadGetsALongerLatency) {
  struct CSlowOutput : audio::AudioOutput {
    int SampleRate() const override { return 44100; }
    double LeadSeconds() const override { return 0.0465; }  // 2048 frames
  };
  options.drivers = {"slow"};
  options.openOutput = [](const audio::AudioOutputRequest&, audio::AudioSource& source,
                          std::string&) -> std::unique_ptr<audio::AudioOutput> {
    for (int i = 0; i < audio::CStreamClock::kSettleCount; ++i)  // its timing reports
      source.Observe(i * 5800000, i * 256.0);
    return std::make_unique<CSlowOutput>();
  };
  midi::CSynthPort port(options);
  ASSERT_TRUE(port.Open(nullptr, nullptr));
  EXPECT_EQ(port.OutputLatencyMs(), 47 + midi::kLateAllowanceMs);
  port.Close();
  EXPECT_EQ(port.OutputLatencyMs(), 0);
}

TEST_F(SynthPortTest, TheFirstOutputThatStartsIsUsedAndTheFirstComplaintKept) {
  std::vector<std::string> tried;
  options.drivers = {"first", "second", "third"};
  options.openOutput = [&](const audio::AudioOutputRequest& request, audio::AudioSource& source,
                           std::string& error) -> std::unique_ptr<audio::AudioOutput> {
    tried.push_back(request.driver);
    error = "no " + request.driver;
    if (request.driver != "third") return nullptr;
    auto fake = std::make_unique<CFakeOutput>(source);
    fake->RunUntil(50000000);
    return fake;
  };
  midi::CSynthPort port(options);
  ASSERT_TRUE(port.Open(nullptr, nullptr));
  EXPECT_EQ(port.DriverName(), "third");
  EXPECT_EQ(tried, (std::vector<std::string>{"first", "second", "third"}));
  port.Close();

  options.drivers = {"first", "second"};
  midi::CSynthPort failing(options);
  EXPECT_FALSE(failing.Open(nullptr, nullptr));
  EXPECT_EQ(failing.ErrorText(), "no first");
}

TEST_F(SynthPortTest, PlaysANoteAndTheCueOnRealSoundOutput) {
  if (!miditest::HasAudioOutput()) GTEST_SKIP() << "needs a sound card or a sound server";
  CMIDIOutDevice device([this](int) -> std::unique_ptr<midi::MidiPort> {
    return std::make_unique<midi::CSynthPort>(options);
  });
  try {
    device.Open(0);
  } catch (const std::exception& e) {
    GTEST_SKIP() << "the sound output is there but cannot be used: " << e.what();
  }
  EXPECT_TRUE(device.IsOpened());
  EXPECT_GE(device.OutputLatencyMs(), midi::kOutputLatencyMs);
  const auto now = std::chrono::steady_clock::now();
  device.SendShortMessageAt(0x7F3C90, now);
  EXPECT_EQ(device.StartCueSound(TUNWICK_TEST_LUMO, now + std::chrono::milliseconds(100)), 600);
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  device.Close();
}

TEST(DesktopCueTest, PlaysTheCueThroughTheSoundServer) {
  if (!miditest::HasAudioOutput()) GTEST_SKIP() << "needs a sound card or a sound server";
  std::unique_ptr<audio::DesktopCue> cue = audio::OpenDesktopCue();
  if (!cue) GTEST_SKIP() << "the sound output is there but cannot be used";
  EXPECT_EQ(cue->SampleRate(), 44100);
  cue->Start(audio::DefaultCue(cue->SampleRate()));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  cue->Stop();
}

}  // namespace
