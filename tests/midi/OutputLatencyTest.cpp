#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "audio/PulseOutput.h"
#include "midi/NoteStartLog.h"
#include "midi/SynthEngine.h"
#include "midi/SynthPort.h"
#include "tests/midi/MidiTestSupport.h"
#include "tests/support/EnvOverride.h"

namespace {

using testsupport::EnvOverride;
constexpr int64_t kMs = 1000000;
constexpr int kRate = midi::CSynthEngine::kSampleRate;

// An output whose lead the test sets, as the PulseAudio stream's grows after a dropout. Its
// stream frame f is heard at f / 44.1 ms; the test renders for it.
class CGrowingOutput : public audio::AudioOutput {
 public:
  explicit CGrowingOutput(audio::AudioSource& source) : source_(source) {
    for (int i = 0; i < audio::CStreamClock::kSettleCount; ++i)
      source_.Observe(i * 256 * 1000000000LL / kRate, i * 256.0);
  }
  int SampleRate() const override { return kRate; }
  double LeadSeconds() const override { return lead.load(); }
  void Render(int64_t frames) {
    std::vector<float> left(static_cast<size_t>(frames)), right(left.size());
    float* out[2] = {left.data(), right.data()};
    source_.Process(static_cast<int>(frames), 0, nullptr, 2, out);
  }
  std::atomic<double> lead{1280.0 / kRate};  // 1024 frames of buffer and the sink's block

 private:
  audio::AudioSource& source_;
};

class OutputLatencyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!miditest::FileExists(TUNWICK_TEST_SOUNDFONT))
      GTEST_SKIP() << "the soundfont " TUNWICK_TEST_SOUNDFONT " is not installed";
    options.soundfont = TUNWICK_TEST_SOUNDFONT;
    options.drivers = {"growing"};
    options.openOutput = [this](const audio::AudioOutputRequest& request,
                                audio::AudioSource& source,
                                std::string&) -> std::unique_ptr<audio::AudioOutput> {
      asked = request.leadSeconds;
      auto fake = std::make_unique<CGrowingOutput>(source);
      output = fake.get();
      return fake;
    };
  }
  static std::chrono::steady_clock::time_point At(int64_t ns) {
    return std::chrono::steady_clock::time_point(std::chrono::nanoseconds(ns));
  }
  static int64_t FrameOf(int64_t ns) { return (ns * kRate + 500000000) / 1000000000; }

  midi::SynthPortOptions options;
  CGrowingOutput* output = nullptr;
  double asked = -1.0;
};

// A note keeps the latency in force when it was sent: the buffer growing under it moves it
// not; the notes sent afterwards take the new latency, the cue too.
TEST_F(OutputLatencyTest, ALatencyChangeMovesNoNoteAlreadyScheduled) {
  EnvOverride env("TUNWICK_LATENCY_MS", std::nullopt);
  midi::CSynthPort port(options);
  ASSERT_TRUE(port.Open(nullptr, nullptr)) << port.ErrorText();
  EXPECT_EQ(asked, 0.0) << "no fixed lead asked for";
  // 29.02 ms of lead, rounded up, and 14 ms for a late tick.
  ASSERT_EQ(port.OutputLatencyMs(), 30 + midi::kLateAllowanceMs);
  midi::CNoteStartLog log;
  port.SetNoteStartLog(&log);
  ASSERT_TRUE(port.SendShortMessageAt(0x7F3C90, At(100 * kMs)));
  output->lead = 4352.0 / kRate;  // 4096 frames of buffer: 99 ms
  ASSERT_EQ(port.OutputLatencyMs(), 99 + midi::kLateAllowanceMs);
  ASSERT_TRUE(port.SendShortMessageAt(0x7F4090, At(200 * kMs)));
  EXPECT_EQ(port.FrameFor(At(300 * kMs)), FrameOf((300 + 113) * kMs));
  output->Render(FrameOf(400 * kMs));

  midi::NoteStart first, second;
  ASSERT_TRUE(log.Take(first));
  ASSERT_TRUE(log.Take(second));
  EXPECT_EQ(first.wantedFrame, FrameOf((100 + 44) * kMs));
  EXPECT_EQ(second.wantedFrame, FrameOf((200 + 113) * kMs));
  port.SetNoteStartLog(nullptr);
}

// TUNWICK_LATENCY_MS (or the port's own option, which wins) fixes the latency: the output is
// asked for the lead that leaves the late tick its allowance; an output that cannot go as
// short gets the latency it needs.
TEST_F(OutputLatencyTest, AFixedLatencyAsksTheOutputForItsLead) {
  struct Case {
    const char* setting;
    int option;
    double outputLead;
    double askedLead;
    int32_t latency;
  };
  const Case cases[] = {
      {"120", 0, 0.05, 0.106, 120},
      {"120", 0, 0.2, 0.106, 214},  // the output renders further ahead than asked
      {"120", 60, 0.03, 0.046, 60},
      {"", 0, 0.05, 0.0, 64},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.setting) + " " + std::to_string(c.option));
    EnvOverride env("TUNWICK_LATENCY_MS", c.setting);
    options.latencyMs = c.option;
    midi::CSynthPort port(options);
    ASSERT_TRUE(port.Open(nullptr, nullptr)) << port.ErrorText();
    EXPECT_NEAR(asked, c.askedLead, 1e-9);
    output->lead = c.outputLead;
    EXPECT_EQ(port.OutputLatencyMs(), c.latency);
  }
}

TEST(LatencySettingTest, WholeMillisecondsWithinTheBoundsElseTheOutputChooses) {
  const std::pair<const char*, int> cases[] = {
      {"", 0},        {"abc", 0},  {"39", 0},   {"40", 40}, {"75", 75},
      {"1000", 1000}, {"1001", 0}, {"75ms", 0}, {"-50", 0}, {"7.5", 0},
  };
  for (const auto& [value, ms] : cases) {
    EnvOverride env("TUNWICK_LATENCY_MS", value);
    EXPECT_EQ(midi::LatencySettingMs(), ms) << value;
  }
  EnvOverride unset("TUNWICK_LATENCY_MS", std::nullopt);
  EXPECT_EQ(midi::LatencySettingMs(), 0);
}

// After its last note the synthesizer counts as silent once the note has rung two seconds and
// its decay has fallen under -40 dBFS (a piano's stays above -80 dBFS for some 9 s), so that
// the stream rests within three seconds; before that only true silence counts.
TEST(SynthEngineQuietTest, TheDecayOfTheLastNoteCountsAsSilenceAfterTwoSeconds) {
  if (!miditest::FileExists(TUNWICK_TEST_SOUNDFONT))
    GTEST_SKIP() << "the soundfont " TUNWICK_TEST_SOUNDFONT " is not installed";
  midi::CSynthEngine engine;
  std::string error;
  ASSERT_TRUE(engine.Load(TUNWICK_TEST_SOUNDFONT, error)) << error;
  const auto renderUntil = [&](double seconds) {
    std::vector<float> left(256), right(256);
    while (engine.RenderedFrames() < static_cast<int64_t>(seconds * kRate)) {
      std::fill(left.begin(), left.end(), 0.0f);
      std::fill(right.begin(), right.end(), 0.0f);
      engine.Render(256, left.data(), right.data());
    }
  };
  for (double start : {0.0, 4.0}) {
    SCOPED_TRACE(start);
    renderUntil(start);
    ASSERT_TRUE(engine.SendShortMessage(0x7F3C90, error));
    renderUntil(start + midi::CSynthEngine::kRingSeconds - 0.01);
    EXPECT_EQ(engine.SilentFrames(), 0) << "the note still rings";
    renderUntil(start + 3.0 - audio::kPulseRestAfterSeconds);
    EXPECT_GE(engine.SilentFrames(), static_cast<int64_t>(audio::kPulseRestAfterSeconds * kRate) -
                                         static_cast<int64_t>(0.01 * kRate));
  }
}

}  // namespace
