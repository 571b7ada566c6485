// Pitch units: frequency to MIDI cents and back, octave folding, note names.
#include <gtest/gtest.h>

#include "listening/Pitch.h"

namespace {

using namespace listening;

TEST(PitchTest, FrequenciesAndMidiCents) {
  const struct {
    double hz;
    double midiCents;
  } cases[] = {{440.0, 6900.0}, {880.0, 8100.0}, {261.6255653, 6000.0}, {466.1637615, 7000.0}};
  for (const auto& c : cases) {
    EXPECT_NEAR(MidiCentsOfFrequency(c.hz), c.midiCents, 1e-6) << c.hz;
    EXPECT_NEAR(FrequencyOfMidiCents(c.midiCents), c.hz, 1e-6) << c.hz;
  }
  EXPECT_EQ(MidiCentsOfFrequency(0.0), 0.0);
  EXPECT_EQ(MidiCentsOfFrequency(-5.0), 0.0);
}

TEST(PitchTest, FoldsToTheNearestOctave) {
  const struct {
    double cents, folded;
  } cases[] = {{0, 0},       {30, 30},    {-30, -30},  {1200, 0},   {1230, 30},
               {-1170, 30},  {2390, -10}, {-2400, 0},  {599, 599},  {600, -600},
               {-600, -600}, {650, -550}, {-650, 550}, {1799, 599}, {-1801, -601 + 1200}};
  for (const auto& c : cases) EXPECT_NEAR(FoldToNearestOctave(c.cents), c.folded, 1e-9) << c.cents;
}

TEST(PitchTest, NoteNames) {
  const struct {
    int32_t midi;
    const char* name;
  } cases[] = {{60, "C4"}, {61, "C#4"}, {69, "A4"}, {71, "B4"}, {72, "C5"},
               {0, "C-1"}, {127, "G9"}, {-1, "-"},  {128, "-"}};
  for (const auto& c : cases) EXPECT_EQ(NoteName(c.midi), c.name) << c.midi;
}

}  // namespace
