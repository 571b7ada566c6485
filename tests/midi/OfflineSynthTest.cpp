#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "audio/CueSound.h"
#include "midi/MidiOutException.h"
#include "midi/NoteStartLog.h"
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
  EXPECT_EQ(synth->StartCueAt(cue, midi::CSynthEngine::kNextFrame), 1000);
  std::vector<int16_t> out;
  synth->RenderFrames(1500, out);
  for (size_t i = 0; i < out.size(); ++i) {
    ASSERT_EQ(out[i], i < 2000 ? 8192 : 0) << "sample " << i;
  }
}

// The render holds the note and the cue together, as the live output does.
TEST_F(OfflineSynthTest, CueMixesWithANote) {
  std::vector<float> lumo;
  std::string error;
  ASSERT_TRUE(audio::LoadCueFile(TUNWICK_TEST_LUMO, kRate, lumo, error));
  midi::COfflineSynth noteOnly(TUNWICK_TEST_SOUNDFONT);
  noteOnly.SendShortMessage(0x7F3C90);
  synth->SendShortMessage(0x7F3C90);
  const int frames = synth->StartCueAt(lumo, 0);
  EXPECT_EQ(frames, 26460);
  std::vector<int16_t> both, note;
  synth->RenderFrames(frames, both);
  noteOnly.RenderFrames(frames, note);
  for (size_t i = 0; i < both.size(); i += 997) {
    ASSERT_NEAR(both[i] - note[i], lumo[i] * 32767.0, 2.0) << "sample " << i;
  }
}

// Scheduling on the stream's frames. FluidSynth starts a voice only at the start of one of its
// 64-frame blocks, so a note given frame F starts at the block start nearest F; the soundfont's
// sample then takes a few frames of its own before it is heard, the same for every start.

constexpr int64_t NearestBlockStart(int64_t frame) {
  return (frame + kAudioBlock / 2) / kAudioBlock * kAudioBlock;
}

// Where the note 0x7F3C90's sample is first heard when the note starts at frame 0.
size_t SampleStartOfMiddleC() {
  midi::COfflineSynth synth(TUNWICK_TEST_SOUNDFONT);
  synth.SendShortMessageAt(0x7F3C90, 0);
  std::vector<int16_t> out;
  synth.RenderFrames(kRate / 20, out);
  return FirstSound(Channel(out, 0), 0);
}

TEST_F(OfflineSynthTest, ANoteGivenAFrameStartsAtTheBlockStartNearestIt) {
  const size_t sampleStart = SampleStartOfMiddleC();
  ASSERT_LT(sampleStart, static_cast<size_t>(kRate / 20));
  // Frames inside and across the renderer's 512-frame chunks and the caller's 4410-frame
  // renders; on block starts, just before and after them, and half way between.
  const int64_t frames[] = {1024, 1000, 1055, 1056, 1087, 1500, 2048, 4409, 4410, 13263, 20000};
  for (int64_t frame : frames) {
    SCOPED_TRACE(frame);
    midi::COfflineSynth synth(TUNWICK_TEST_SOUNDFONT);
    midi::CNoteStartLog log;
    synth.SetNoteStartLog(&log);
    synth.SendShortMessageAt(0x7F3C90, frame);
    std::vector<int16_t> out;
    while (out.size() / 2 < static_cast<size_t>(frame) + kRate / 10) synth.RenderFrames(4410, out);
    const size_t onset = FirstSound(Channel(out, 0), 0);
    EXPECT_EQ(onset, NearestBlockStart(frame) + sampleStart);
    EXPECT_LE(std::llabs(static_cast<long long>(onset - sampleStart) - frame), kAudioBlock / 2);

    midi::NoteStart start;
    ASSERT_TRUE(log.Take(start));
    EXPECT_EQ(start.message, 0x7F3C90u);
    EXPECT_EQ(start.wantedFrame, frame);
    EXPECT_EQ(start.startFrame, NearestBlockStart(frame));
    EXPECT_FALSE(log.Take(start));
  }
}

// A note whose frame has been rendered already starts at the next block start; so does one
// sent without a frame.
TEST_F(OfflineSynthTest, ANoteForAFrameAlreadyRenderedStartsAtTheNextBlock) {
  const size_t sampleStart = SampleStartOfMiddleC();
  struct Case {
    const char* name;
    int64_t frame;  // -1: sent without a frame
  };
  const Case cases[] = {{"long past", 10}, {"just past", 990}, {"without a frame", -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    midi::COfflineSynth synth(TUNWICK_TEST_SOUNDFONT);
    std::vector<int16_t> out;
    synth.RenderFrames(1000, out);
    if (c.frame < 0)
      synth.SendShortMessage(0x7F3C90);
    else
      synth.SendShortMessageAt(0x7F3C90, c.frame);
    synth.RenderFrames(kRate / 10, out);
    EXPECT_EQ(FirstSound(Channel(out, 0), 0), 1024 + sampleStart);
  }
}

// Many notes in one stream, each at its own frame; and a note sent after another never starts
// before it, even when its frame is earlier.
TEST_F(OfflineSynthTest, ManyNotesEachStartAtTheirFramesAndKeepTheirOrder) {
  midi::CNoteStartLog log;
  synth->SetNoteStartLog(&log);
  std::vector<int64_t> frames;
  for (int i = 0; i < 40; ++i) frames.push_back(1000 + i * 14699);  // 333.3 ms apart
  for (size_t i = 0; i < frames.size(); ++i)
    synth->SendShortMessageAt(0x7F0090u | static_cast<uint32_t>(48 + i) << 8, frames[i]);
  const int64_t last = frames.back();
  synth->SendShortMessageAt(0x7F4590, last + 10000);
  synth->SendShortMessageAt(0x7F4790, last + 100);  // earlier than the note sent before it
  std::vector<int16_t> out;
  while (synth->RenderedFrames() < last + 20000) synth->RenderFrames(4410, out);

  midi::NoteStart start;
  for (size_t i = 0; i < frames.size(); ++i) {
    SCOPED_TRACE(i);
    ASSERT_TRUE(log.Take(start));
    EXPECT_EQ(start.wantedFrame, frames[i]);
    EXPECT_EQ(start.startFrame, NearestBlockStart(frames[i]));
  }
  ASSERT_TRUE(log.Take(start));
  EXPECT_EQ(start.startFrame, NearestBlockStart(last + 10000));
  ASSERT_TRUE(log.Take(start));
  EXPECT_EQ(start.message, 0x7F4790u);
  EXPECT_EQ(start.startFrame, NearestBlockStart(last + 10000));
}

TEST_F(OfflineSynthTest, AFullQueueRefusesMessagesUntilTheRenderTakesThem) {
  for (size_t i = 0; i < midi::CSynthEngine::kQueueCapacity; ++i)
    synth->SendShortMessageAt(0x003C80, 100);  // note-offs: nothing sounds
  EXPECT_THROW(synth->SendShortMessageAt(0x003C80, 100), midi::CMIDIOutException);
  std::vector<int16_t> out;
  synth->RenderFrames(200, out);
  EXPECT_NO_THROW(synth->SendShortMessageAt(0x7F3C90, 300));
}

// The cue is ours, not FluidSynth's: it starts on its frame exactly.
TEST_F(OfflineSynthTest, ACueGivenAFrameStartsOnThatFrameExactly) {
  const int64_t frames[] = {0, 1000, 1023, 4410 + 7, 9000};
  for (int64_t frame : frames) {
    SCOPED_TRACE(frame);
    midi::COfflineSynth fresh(TUNWICK_TEST_SOUNDFONT);
    EXPECT_EQ(fresh.StartCueAt(std::vector<float>(2 * 300, 0.25f), frame), 300);
    std::vector<int16_t> out;
    while (out.size() / 2 < static_cast<size_t>(frame) + 1000) fresh.RenderFrames(4410, out);
    for (size_t i = 0; i < out.size(); ++i) {
      const int64_t at = static_cast<int64_t>(i / 2);
      ASSERT_EQ(out[i], at >= frame && at < frame + 300 ? 8192 : 0) << "frame " << at;
    }
  }
  // One whose frame has passed starts with the next frame rendered.
  std::vector<int16_t> out;
  synth->RenderFrames(1000, out);
  synth->StartCueAt(std::vector<float>(2 * 10, 0.25f), 500);
  synth->RenderFrames(100, out);
  EXPECT_EQ(out[2 * 999], 0);
  EXPECT_EQ(out[2 * 1000], 8192);
  EXPECT_EQ(out[2 * 1009], 8192);
  EXPECT_EQ(out[2 * 1010], 0);
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
