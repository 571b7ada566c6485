#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "midi/MidiOutDevice.h"
#include "midi/Soundfont.h"
#include "midi/SynthPort.h"
#include "tests/midi/MidiTestSupport.h"
#include "tests/support/EnvOverride.h"
#include "tests/support/TempFolder.h"
#include "tests/support/WavFile.h"

namespace {

using testsupport::EnvOverride;

TEST(AudioDriverOrderTest, DesktopDriversFirstUnlessOneIsChosen) {
  {
    EnvOverride env("TUNWICK_AUDIO_DRIVER", std::nullopt);
    EXPECT_EQ(midi::AudioDriverOrder(), (std::vector<std::string>{"pulseaudio", "alsa", "jack"}));
  }
  EnvOverride env("TUNWICK_AUDIO_DRIVER", "jack");
  EXPECT_EQ(midi::AudioDriverOrder(), std::vector<std::string>{"jack"});
}

TEST(AudioDriverOrderTest, BufferingStaysWithin25Milliseconds) {
  const double ms = 1000.0 * midi::kAudioPeriodSize * midi::kAudioPeriods / 44100;
  EXPECT_LE(ms, 25.0);
}

TEST(SoundfontTest, ChosenFileFirstThenSystemDefaultsThenThePackagesFile) {
  EnvOverride env("TUNWICK_SOUNDFONT", "/somewhere/else.sf2");
  const std::vector<std::string> candidates = midi::SoundfontCandidates();
  ASSERT_GE(candidates.size(), 3u);
  EXPECT_EQ(candidates.front(), "/somewhere/else.sf2");
  EXPECT_EQ(candidates.back(), "/usr/share/sounds/sf2/TimGM6mb.sf2");
  EXPECT_NE(std::find(candidates.begin(), candidates.end(), "/usr/share/sounds/sf2/default-GM.sf2"),
            candidates.end());
}

TEST(SoundfontTest, FirstReadableFileSkipsMissingOnes) {
  testsupport::TempFolder folder;
  ASSERT_TRUE(testsupport::WriteWav(folder.File("b.sf2"), 8000, 1, {0}));
  EXPECT_EQ(midi::FirstReadableFile({folder.File("a.sf2"), "", folder.File("b.sf2")}),
            folder.File("b.sf2"));
  EXPECT_EQ(midi::FirstReadableFile({folder.File("a.sf2")}), "");
}

TEST(DeviceTableTest, SynthesizerIsDeviceZeroWhenASoundfontIsFound) {
  if (midi::FindSoundfont().empty()) GTEST_SKIP() << "no General MIDI soundfont installed";
  const std::vector<midi::MidiOutDeviceInfo> devices = midi::ListMidiOutDevices();
  ASSERT_FALSE(devices.empty());
  EXPECT_EQ(devices[0].index, 0);
  EXPECT_EQ(devices[0].kind, "synthesizer");
  EXPECT_EQ(midi::MidiOutDeviceCount(), static_cast<int>(devices.size()));
  for (size_t i = 1; i < devices.size(); ++i) EXPECT_EQ(devices[i].kind, "ALSA port");
}

TEST(DeviceTableTest, NumbersPastTheLastDeviceMakeNoPort) {
  EXPECT_EQ(midi::CreateMidiPort(-1), nullptr);
  EXPECT_EQ(midi::CreateMidiPort(midi::MidiOutDeviceCount()), nullptr);
}

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
    GTEST_SKIP() << "a sound server answered (" << port.driverName() << ")";
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
  device.PlayCueSound("lumo.wav");
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
  device.SendShortMessage(0x7F3C90);
  device.PlayCueSound(TUNWICK_TEST_LUMO);
  device.Close();
}

}  // namespace
