#include <gtest/gtest.h>

#include "midi/AlsaPort.h"
#include "tests/midi/MidiTestSupport.h"

namespace {

TEST(AlsaPortTest, NoSequencerMeansNoPorts) {
  if (miditest::HasSequencer()) GTEST_SKIP() << "this machine has an ALSA sequencer";
  EXPECT_TRUE(midi::AlsaPortNames().empty());
  midi::CAlsaPort port(0);
  EXPECT_FALSE(port.Open(nullptr, nullptr));
  EXPECT_FALSE(port.ErrorText().empty());
  EXPECT_FALSE(port.SendShortMessage(0x7F3C90));
}

TEST(AlsaPortTest, OpensAndSendsToTheFirstPort) {
  if (!miditest::HasSequencer()) GTEST_SKIP() << "needs an ALSA sequencer (/dev/snd/seq)";
  const std::vector<std::string> names = midi::AlsaPortNames();
  if (names.empty()) GTEST_SKIP() << "the ALSA sequencer has no output port";
  midi::CAlsaPort port(0);
  ASSERT_TRUE(port.Open(nullptr, nullptr)) << port.ErrorText();
  EXPECT_TRUE(port.SendShortMessage(0x7F3C90)) << port.ErrorText();
  EXPECT_TRUE(port.SendShortMessage(0x003C80)) << port.ErrorText();
  EXPECT_EQ(port.AudioSampleRate(), 0);
  port.Close();
}

TEST(AlsaPortTest, PortNumbersPastTheLastFailToOpen) {
  if (!miditest::HasSequencer()) GTEST_SKIP() << "needs an ALSA sequencer (/dev/snd/seq)";
  midi::CAlsaPort port(static_cast<int>(midi::AlsaPortNames().size()));
  EXPECT_FALSE(port.Open(nullptr, nullptr));
  EXPECT_FALSE(port.ErrorText().empty());
}

}  // namespace
