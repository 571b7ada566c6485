// Choosing the synthesizer's sound: the audio drivers in order with their buffers, the
// soundfont looked up in order, and the device table with the synthesizer as device 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "audio/BufferPlan.h"
#include "audio/FluidDriverOutput.h"
#include "audio/PulseOutput.h"
#include "midi/MidiOutDevice.h"
#include "midi/MidiPort.h"
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
    EXPECT_EQ(audio::AudioDriverOrder(), (std::vector<std::string>{"pulseaudio", "alsa", "jack"}));
  }
  EnvOverride env("TUNWICK_AUDIO_DRIVER", "jack");
  EXPECT_EQ(audio::AudioDriverOrder(), std::vector<std::string>{"jack"});
}

// The FluidSynth drivers' buffer, plus a tick that comes as late as allowed, fits in the
// shortest latency, which stays within 40 ms. Our PulseAudio stream renders further ahead and
// gets its own latency (see AnOutputThatRendersFurtherAheadGetsALongerLatency).
TEST(AudioDriverOrderTest, BuffersAndALateTickFitInTheLatency) {
  const double fluidMs = 1000.0 * audio::kAudioPeriodSize * audio::kAudioPeriods / 44100;
  EXPECT_LE(fluidMs + midi::kLateAllowanceMs, midi::kOutputLatencyMs);
  EXPECT_LE(midi::kOutputLatencyMs, 40);
  EXPECT_GE(midi::kLateAllowanceMs, 12);
  EXPECT_EQ(audio::CBufferPlan::kStartFrames % audio::kPulseBlockFrames, 0);
  EXPECT_EQ(audio::CBufferPlan::kMostFrames % audio::kPulseBlockFrames, 0);
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

}  // namespace
