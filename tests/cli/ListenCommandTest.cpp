// `tunwick listen`: refused before anything sounds when there is no input, and its arguments
// checked as the other commands check theirs.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "CommandStreams.h"
#include "capture/AudioCapture.h"
#include "cli/Commands.h"
#include "midi/MidiOutDevice.h"
#include "tests/support/TempFolder.h"

namespace {

using testsupport::TempFolder;

const char kTwoPhrases[] = "s=100,0.1,1,0.1,3|0.1,5,0.1,1";

class NoInput : public SoundInput {
 public:
  unsigned Start(capture::CAudioCapture::BlockSink) override {
    throw capture::AudioCaptureError(std::string(capture::kNoInputDeviceMessage) +
                                     ": nothing answered");
  }
};

using Listened = CommandRun;

class ListenCommandTest : public ::testing::Test {
 protected:
  Listened Listen(const Arguments& arguments) {
    ListenMachine machine;
    machine.makeInput = [] { return std::make_unique<NoInput>(); };
    machine.makeDevice = [this] {
      return std::make_unique<CMIDIOutDevice>([this](int) -> std::unique_ptr<midi::MidiPort> {
        portOpened = true;
        return nullptr;
      });
    };
    return RunCaptured([&](const CommandLineStreams& streams) {
      return RunListenCommand(arguments, streams, machine);
    });
  }

  TempFolder folder;
  bool portOpened = false;
};

TEST_F(ListenCommandTest, WithoutAnInputItSaysSoAndPlaysNothing) {
  const Listened run = Listen({folder.Write("song.txt", kTwoPhrases)});
  EXPECT_EQ(run.status, kExitFailure);
  EXPECT_EQ(run.err, std::string("tunwick: cannot listen: ") + capture::kNoInputDeviceMessage +
                         ": nothing answered\n");
  EXPECT_EQ(run.out, "");
  EXPECT_FALSE(portOpened) << "the output device is never opened";
}

TEST_F(ListenCommandTest, BadArgumentsAreUsageErrors) {
  const std::string song = folder.Write("song.txt", kTwoPhrases);
  struct Case {
    Arguments arguments;
    std::string firstLine;
  };
  const Case cases[] = {
      {{},
       "tunwick: usage: tunwick listen FILE [--phrase N] [--range LOW-HIGH] [--tolerance "
       "strict|normal|easy] [--tempo PERCENT]"},
      {{song, "--tolerance", "loose"},
       "tunwick: --tolerance takes strict, normal or easy (a hit within 25, 50 or 100 cents), "
       "not 'loose'"},
      {{song, "--tolerance"}, "tunwick: option '--tolerance' needs a value"},
      {{song, "--phrase", "0"}, "tunwick: --phrase takes a phrase number from 1"},
      {{song, "--phrase", "3"}, "tunwick: " + song + " has 2 phrases; --phrase takes 1 to 2"},
      {{song, "--speed", "2"}, ""},
      {{song, "--tempo", "300"},
       "tunwick: --tempo takes a share of the written tempo from 25 to 200 (percent), not '300'"},
  };
  for (const Case& c : cases) {
    const Listened run = Listen(c.arguments);
    EXPECT_EQ(run.status, kExitUsage) << run.err;
    if (!c.firstLine.empty()) {
      EXPECT_EQ(run.err.substr(0, run.err.find('\n')), c.firstLine);
    }
    EXPECT_FALSE(portOpened);
  }
  EXPECT_EQ(Listen({folder.File("missing.txt")}).status, kExitFailure);
}

}  // namespace
