#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "midi/CueSound.h"
#include "midi/MidiOutException.h"
#include "midi/OfflineSynth.h"
#include "tests/midi/MidiTestSupport.h"

namespace {

constexpr int kRate = midi::COfflineSynth::kSampleRate;
// The synthesizer renders in blocks of 64 frames; a note starts at the next block.
constexpr int kAudioBlock = 64;

std::vector<double> Channel(const std::vector<int16_t>& stereo, int channel) {
  std::vector<double> out;
  for (size_t i = channel; i < stereo.size(); i += 2) out.push_back(stereo[i]);
  return out;
}

double Peak(const std::vector<double>& x, size_t from = 0, size_t to = SIZE_MAX) {
  double peak = 0;
  for (size_t i = from; i < std::min(to, x.size()); ++i) peak = std::max(peak, std::fabs(x[i]));
  return peak;
}

// The fundamental frequency of a steady stretch, by normalised autocorrelation: the first
// lag whose correlation comes close to the best, refined by a parabola through its
// neighbours (so that a period of two cycles is not taken for one).
double EstimatePitch(const std::vector<double>& x, size_t from, size_t length) {
  const int minLag = kRate / 2000;
  const int maxLag = kRate / 60;
  std::vector<double> r(maxLag + 2, 0.0);
  for (int lag = minLag - 1; lag <= maxLag + 1; ++lag) {
    double sum = 0, energyA = 0, energyB = 0;
    for (size_t i = from; i < from + length; ++i) {
      sum += x[i] * x[i + lag];
      energyA += x[i] * x[i];
      energyB += x[i + lag] * x[i + lag];
    }
    r[lag] = sum / std::sqrt(energyA * energyB + 1e-9);
  }
  const double best = *std::max_element(r.begin() + minLag, r.begin() + maxLag + 1);
  for (int lag = minLag; lag <= maxLag; ++lag) {
    if (r[lag] >= 0.9 * best && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1]) {
      const double a = r[lag - 1], b = r[lag], c = r[lag + 1];
      const double denominator = a - 2 * b + c;
      const double shift = denominator != 0 ? 0.5 * (a - c) / denominator : 0.0;
      return kRate / (lag + shift);
    }
  }
  return 0;
}

size_t FirstSound(const std::vector<double>& x, size_t from) {
  while (from < x.size() && x[from] == 0.0) ++from;
  return from;
}

class OfflineSynthTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!miditest::FileExists(TUNWICK_TEST_SOUNDFONT))
      GTEST_SKIP() << "the soundfont " TUNWICK_TEST_SOUNDFONT " is not installed";
    synth = std::make_unique<midi::COfflineSynth>(TUNWICK_TEST_SOUNDFONT);
  }
  std::unique_ptr<midi::COfflineSynth> synth;
};

TEST_F(OfflineSynthTest, NoteOnSoundsItsPitchFromTheNextAudioBlock) {
  struct Case {
    uint32_t word;
    double hertz;
  };
  const Case cases[] = {{0x7F3C90, 261.63}, {0x7F4590, 440.0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.word);
    // The same note sent at time 0 shows where the soundfont's sample itself begins to sound.
    midi::COfflineSynth reference(TUNWICK_TEST_SOUNDFONT);
    reference.SendShortMessage(c.word);
    std::vector<int16_t> referenceOut;
    reference.RenderFrames(kRate / 10, referenceOut);
    const std::vector<double> referenceLeft = Channel(referenceOut, 0);
    const size_t sampleStart = FirstSound(referenceLeft, 0);
    ASSERT_LT(sampleStart, referenceLeft.size());

    midi::COfflineSynth fresh(TUNWICK_TEST_SOUNDFONT);
    std::vector<int16_t> out;
    fresh.RenderFrames(1000, out);  // silence before the note; 1000 is no whole block
    const size_t sendFrame = out.size() / 2;
    fresh.SendShortMessage(c.word);
    fresh.RenderFrames(kRate, out);
    const std::vector<double> left = Channel(out, 0);

    EXPECT_EQ(Peak(left, 0, sendFrame), 0.0);
    ASSERT_GT(Peak(left, sendFrame), 1000.0) << "the note is too quiet";
    const size_t onset = FirstSound(left, sendFrame);
    ASSERT_GE(onset, sendFrame + sampleStart);
    EXPECT_LT(onset - sendFrame - sampleStart, static_cast<size_t>(kAudioBlock));

    const double hertz = EstimatePitch(left, sendFrame + kRate / 10, kRate / 4);
    EXPECT_NEAR(hertz, c.hertz, c.hertz * 0.01);
  }
}

TEST_F(OfflineSynthTest, FullVolumeSoundsOnBothChannelsAndZeroSilences) {
  synth->SetVolume(0x0000FFFF);  // as the player sets it: high word 0
  synth->SendShortMessage(0x7F3C90);
  std::vector<int16_t> out;
  synth->RenderFrames(kRate / 2, out);
  EXPECT_GT(Peak(Channel(out, 0)), 1000.0);
  EXPECT_GT(Peak(Channel(out, 1)), 1000.0);

  midi::COfflineSynth muted(TUNWICK_TEST_SOUNDFONT);
  muted.SetVolume(0);
  muted.SendShortMessage(0x7F3C90);
  out.clear();
  muted.RenderFrames(kRate / 2, out);
  EXPECT_EQ(Peak(Channel(out, 0)), 0.0);
  EXPECT_EQ(Peak(Channel(out, 1)), 0.0);
}

TEST_F(OfflineSynthTest, NoteNumbersAboveTheMidiRangeAreDroppedSilently) {
  // 0x90 | 130 << 8 | 127 << 16, as the player packs a pitch of 130.
  EXPECT_NO_THROW(synth->SendShortMessage(0x90u | (130u << 8) | (127u << 16)));
  std::vector<int16_t> out;
  synth->RenderFrames(kRate / 10, out);
  EXPECT_EQ(Peak(Channel(out, 0)), 0.0);
}

TEST_F(OfflineSynthTest, RenderAppendsInterleavedStereo) {
  std::vector<int16_t> out(6, 1);
  synth->RenderFrames(100, out);
  EXPECT_EQ(out.size(), 6u + 200u);
  EXPECT_EQ(out[0], 1);
}

TEST_F(OfflineSynthTest, CueIsMixedIntoTheRenderedStreamForItsLength) {
  std::vector<float> cue(2 * 1000, 0.25f);
  EXPECT_EQ(synth->PlayCueSamples(cue), 1000);
  std::vector<int16_t> out;
  synth->RenderFrames(1500, out);
  for (size_t i = 0; i < out.size(); ++i) {
    ASSERT_EQ(out[i], i < 2000 ? 8192 : 0) << "sample " << i;
  }
}

TEST_F(OfflineSynthTest, CueMixesWithANoteAndTheLengthIsReported) {
  EXPECT_EQ(synth->PlayCue(TUNWICK_TEST_LUMO), 26460);
  EXPECT_EQ(synth->PlayCue("no-such-cue.wav"),
            static_cast<int>(midi::DefaultCue(kRate).size() / 2));

  // The render holds the note and the cue together, as the live output does.
  midi::COfflineSynth noteOnly(TUNWICK_TEST_SOUNDFONT);
  noteOnly.SendShortMessage(0x7F3C90);
  synth->SendShortMessage(0x7F3C90);
  const int frames = synth->PlayCue(TUNWICK_TEST_LUMO);
  std::vector<int16_t> both, note;
  synth->RenderFrames(frames, both);
  noteOnly.RenderFrames(frames, note);
  std::vector<float> lumo;
  std::string error;
  ASSERT_TRUE(midi::LoadCueFile(TUNWICK_TEST_LUMO, kRate, lumo, error));
  for (size_t i = 0; i < both.size(); i += 997) {
    ASSERT_NEAR(both[i] - note[i], lumo[i] * 32767.0, 2.0) << "sample " << i;
  }
}

TEST(OfflineSynthLoadTest, MissingSoundfontRaisesTheSynthesizersText) {
  try {
    midi::COfflineSynth synth("/nonexistent/none.sf2");
    FAIL() << "loading should have failed";
  } catch (const midi::CMIDIOutException& e) {
    EXPECT_GT(std::strlen(e.what()), 0u);
    EXPECT_LT(std::strlen(e.what()), 128u);
  }
}

}  // namespace
