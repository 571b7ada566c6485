// `tunwick play` on a fake MIDI port and a virtual clock: what reaches the port, in order and
// on schedule, what the terminal shows, and Ctrl-C (a real SIGINT) ending playback with the
// device closed.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "CommandStreams.h"
#include "cli/Commands.h"
#include "cli/HeadlessPlatform.h"
#include "cli/PlayClock.h"
#include "midi/MidiOutDevice.h"
#include "midi/SynthPort.h"
#include "playback/Player.h"
#include "tests/support/EnvOverride.h"
#include "tests/support/TempFolder.h"

namespace {

using testsupport::TempFolder;

constexpr int64_t kStartMs = 1000000;

// Time that passes only when the player sleeps to its next tick or waits.
class VirtualClock : public PlayClock {
 public:
  int64_t NowMs() override { return now_; }
  bool SleepUntil(int64_t deadlineMs) override {
    if (interrupted_) return false;
    // A busy machine: the sleep to this deadline ends late.
    if (deadlineMs == kStartMs + lateDeadline) deadlineMs += lateBy;
    now_ = std::max<int64_t>(now_, deadlineMs);
    return true;
  }
  void Interrupt() override { interrupted_ = true; }
  bool Interrupted() override { return interrupted_; }

  int64_t lateDeadline = -1;  // from the start
  int64_t lateBy = 0;

 private:
  std::atomic<int64_t> now_{kStartMs};
  std::atomic<bool> interrupted_{false};
};

// What reached the port, with the virtual time it arrived at.
struct PortLog {
  std::mutex lock;
  std::vector<std::pair<int64_t, std::string>> entries;
  bool opened = false;
  bool closed = false;
  void Add(int64_t time, const std::string& what) {
    std::lock_guard<std::mutex> hold(lock);
    entries.emplace_back(time, what);
  }
};

std::string Hex(uint32_t word) {
  char text[16];
  std::snprintf(text, sizeof text, "%06X", word);
  return text;
}

class FakePort : public midi::MidiPort {
 public:
  FakePort(PortLog& log, VirtualClock& clock, int interruptAtNote, bool failOpen)
      : log_(log), clock_(clock), interruptAtNote_(interruptAtNote), failOpen_(failOpen) {}

  bool Open(midi::MidiPortCallback, void*) override {
    if (failOpen_) return false;
    log_.opened = true;
    return true;
  }
  bool SendShortMessage(uint32_t message) override {
    log_.Add(clock_.NowMs(), Hex(message));
    if ((message & 0xF0) == 0x90 && ++notes_ == interruptAtNote_) PressCtrlC();
    return true;
  }
  void SetVolume(uint32_t) override {}
  void Close() override { log_.closed = true; }
  std::string ErrorText() const override { return "the port is gone"; }
  int AudioSampleRate() const override { return 44100; }
  void StartCue(std::vector<float> samples, std::chrono::steady_clock::time_point) override {
    log_.Add(clock_.NowMs(), "cue");
    EXPECT_FALSE(samples.empty());
  }

 private:
  // A real SIGINT to the process, as the terminal sends it; returns once the command has
  // taken it, so that what follows is deterministic.
  void PressCtrlC() {
    ::kill(::getpid(), SIGINT);
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!clock_.Interrupted() && std::chrono::steady_clock::now() < give_up)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(clock_.Interrupted()) << "SIGINT did not reach the command";
  }

  PortLog& log_;
  VirtualClock& clock_;
  int interruptAtNote_;
  bool failOpen_;
  int notes_ = 0;
};

using Played = CommandRun;

class PlayCommandTest : public ::testing::Test {
 protected:
  Played Play(const std::string& score, Arguments options, int interruptAtNote = 0,
              bool failOpen = false) {
    Arguments arguments{folder.Write("score.txt", score)};
    arguments.insert(arguments.end(), options.begin(), options.end());
    PlayMachine machine;
    machine.clock = &clock;
    machine.makeDevice = [&, interruptAtNote, failOpen] {
      return std::make_unique<CMIDIOutDevice>([&, interruptAtNote, failOpen](int index) {
        openedIndex = index;
        return std::make_unique<FakePort>(log, clock, interruptAtNote, failOpen);
      });
    };
    return RunCaptured([&](const CommandLineStreams& streams) {
      return RunPlayCommand(arguments, streams, machine);
    });
  }

  // The port's log as "+ms what", times from the start of playback.
  std::vector<std::string> Log() {
    std::vector<std::string> lines;
    for (const auto& entry : log.entries)
      lines.push_back("+" + std::to_string(entry.first - kStartMs) + " " + entry.second);
    return lines;
  }

  TempFolder folder;
  VirtualClock clock;
  PortLog log;
  int openedIndex = -1;
};

const char kTwoPhrases[] = "s=100,0.1,1,0.1,3|0.1,5,0.1,1";

TEST_F(PlayCommandTest, AllModePlaysTheScoreOnScheduleAndCloses) {
  const Played p = Play(kTwoPhrases, {"--mode", "all"});
  EXPECT_EQ(p.status, kExitOk) << p.err;
  // Each note on the first tick at or after its time (every 300 ms; the first tick comes
  // 10 ms after the start), the pass over on the tick after the end at 1200 ms, then All
  // Notes Off as the device closes.
  EXPECT_EQ(Log(), (std::vector<std::string>{"+10 7F3C90", "+300 7F4090", "+600 7F4390",
                                             "+900 7F3C90", "+1210 007BB0"}));
  EXPECT_TRUE(log.opened);
  EXPECT_TRUE(log.closed);
  EXPECT_EQ(openedIndex, 0);
  EXPECT_NE(p.out.find("Whole score, 2 phrases"), std::string::npos) << p.out;
  EXPECT_NE(p.out.find("Done."), std::string::npos) << p.out;
}

// At a practice tempo every note and the pass's end move with it; the pitches stay.
TEST_F(PlayCommandTest, APracticeTempoStretchesOrShortensThePass) {
  const struct {
    const char* percent;
    std::vector<std::string> log;
  } cases[] = {
      {"50", {"+10 7F3C90", "+600 7F4090", "+1200 7F4390", "+1800 7F3C90", "+2410 007BB0"}},
      {"200", {"+10 7F3C90", "+150 7F4090", "+300 7F4390", "+450 7F3C90", "+610 007BB0"}},
  };
  for (const auto& c : cases) {
    // Each run starts where the virtual clock stands; its log is read from there.
    const int64_t startMs = clock.NowMs();
    const size_t before = log.entries.size();
    const Played p = Play(kTwoPhrases, {"--mode", "all", "--tempo", c.percent});
    EXPECT_EQ(p.status, kExitOk) << p.err;
    std::vector<std::string> lines;
    for (size_t i = before; i < log.entries.size(); ++i)
      lines.push_back("+" + std::to_string(log.entries[i].first - startMs) + " " +
                      log.entries[i].second);
    EXPECT_EQ(lines, c.log) << c.percent << " %";
  }
}

TEST_F(PlayCommandTest, ALateTickDoesNotShiftTheLaterOnes) {
  // The tick due at 100 ms comes 16 ms late; the ticks after it keep to the 10 ms grid.
  clock.lateDeadline = 100;
  clock.lateBy = 16;
  const Played p = Play(kTwoPhrases, {"--mode", "all"});
  EXPECT_EQ(p.status, kExitOk) << p.err;
  EXPECT_EQ(Log(), (std::vector<std::string>{"+10 7F3C90", "+300 7F4090", "+600 7F4390",
                                             "+900 7F3C90", "+1210 007BB0"}));
}

// --latency fixes the synthesizer's latency through its setting, read as the device opens.
TEST_F(PlayCommandTest, ALatencyGivenIsTheSynthesizersSettingWhenTheDeviceOpens) {
  testsupport::EnvOverride env("TUNWICK_LATENCY_MS", std::nullopt);
  const Played p = Play(kTwoPhrases, {"--latency", "80"});
  EXPECT_EQ(p.status, kExitOk) << p.err;
  EXPECT_EQ(midi::LatencySettingMs(), 80);
}

TEST_F(PlayCommandTest, TeachingShowsPassesAndCtrlCStopsAtOnce) {
  // Ctrl-C on the second pass's second note: nothing more is sent but All Notes Off.
  const Played p = Play(kTwoPhrases, {"--mode", "teaching", "--device", "3"}, 4);
  EXPECT_EQ(p.status, kExitInterrupted) << p.err;
  // The cue (lumo.wav, 600 ms) holds the player; the second pass starts where it ends.
  EXPECT_EQ(Log(), (std::vector<std::string>{"+10 7F3C90", "+300 7F4090", "+610 cue",
                                             "+1210 7F3C90", "+1510 7F4090", "+1510 007BB0"}));
  EXPECT_TRUE(log.closed);
  EXPECT_EQ(openedIndex, 3);
  EXPECT_NE(p.out.find("Phrase 1 of 2, pass 1 of 2\nPhrase 1 of 2, pass 2 of 2\n"),
            std::string::npos)
      << p.out;
  EXPECT_NE(p.out.find("Stopped."), std::string::npos) << p.out;
}

TEST_F(PlayCommandTest, CtrlCDuringThePracticeWaitEndsItAtOnce) {
  const Played p = Play(kTwoPhrases, {"--mode", "practice"}, 1);
  EXPECT_EQ(p.status, kExitInterrupted) << p.err;
  // The reference note, then no pass: the two-second wait was cut short.
  EXPECT_EQ(Log(), (std::vector<std::string>{"+0 7F3C90", "+0 007BB0"}));
  EXPECT_TRUE(log.closed);
}

TEST_F(PlayCommandTest, PracticeShowsTheRisingPasses) {
  // Stopped at the 8th note-on: reference, pass 1, cue, pass 2, reference a semitone up, and
  // pass 3 a semitone up; each reference is followed by its two-second wait.
  const Played p = Play(kTwoPhrases, {"--mode", "practice"}, 8);
  EXPECT_EQ(p.status, kExitInterrupted);
  // Each pass starts exactly where its wait or cue ends.
  EXPECT_EQ(Log(),
            (std::vector<std::string>{"+0 7F3C90", "+2000 7F3C90", "+2300 7F4090", "+2610 cue",
                                      "+3210 7F3C90", "+3510 7F4090", "+3820 7F3D90",
                                      "+5820 7F3D90", "+6120 7F4190", "+6120 007BB0"}));
  EXPECT_NE(p.out.find("Phrase 1 of 2, pass 1 of 24, 0 semitones up\n"
                       "Phrase 1 of 2, pass 2 of 24, 0 semitones up\n"
                       "Phrase 1 of 2, pass 3 of 24, 1 semitone up\n"),
            std::string::npos)
      << p.out;
}

TEST_F(PlayCommandTest, RepeatRunsUntilCtrlC) {
  const Played p = Play(kTwoPhrases, {"--mode", "repeat"}, 9);
  EXPECT_EQ(p.status, kExitInterrupted);
  // Passes of 1210 ms, each followed by the 500 ms wait and a rebuilt timeline; the next
  // pass starts exactly where the wait ends.
  const std::vector<std::string> log = Log();
  ASSERT_EQ(log.size(), 10u);
  EXPECT_EQ(log[4], "+1710 7F3C90");
  EXPECT_EQ(log[8], "+3420 7F3C90");
  EXPECT_NE(p.out.find("Whole score, 2 phrases, pass 3\n"), std::string::npos) << p.out;
}

TEST_F(PlayCommandTest, FailuresSayWhy) {
  {
    const Played p = Play(kTwoPhrases, {}, 0, /*failOpen=*/true);
    EXPECT_EQ(p.status, kExitFailure);
    EXPECT_NE(p.err.find("cannot open the MIDI output device: the port is gone"), std::string::npos)
        << p.err;
  }
  {
    const Played p = Play("1,9", {});
    EXPECT_EQ(p.status, kExitFailure);
    EXPECT_NE(p.err.find("error tune 1111!"), std::string::npos) << p.err;
    EXPECT_FALSE(log.opened);
  }
  for (const Arguments& wrong :
       {Arguments{"--mode", "loud"}, Arguments{"--device", "-1"}, Arguments{"--device", "x"},
        Arguments{"extra"}, Arguments{"--tempo", "0"}, Arguments{"--tempo", "250"},
        Arguments{"--latency", "39"}, Arguments{"--latency", "1001"}}) {
    const Played p = Play(kTwoPhrases, wrong);
    EXPECT_EQ(p.status, kExitUsage) << wrong[0];
  }
  EXPECT_TRUE(log.entries.empty());
}

}  // namespace

namespace {

TEST_F(PlayCommandTest, PracticeClimbsFromTheBottomOfTheRangeGiven) {
  // Phrase 1 (C4 E4) into A2-E3: four levels from A2 up.
  const Played p = Play(kTwoPhrases, {"--mode", "practice", "--range", "A2-E3"}, 3);
  EXPECT_EQ(p.status, kExitInterrupted) << p.err;
  const std::vector<std::string> log = Log();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[0], "+0 7F2D90") << "the reference note A2";
  EXPECT_EQ(log[1], "+2000 7F2D90");
  EXPECT_EQ(log[2], "+2300 7F3190");
  EXPECT_NE(p.out.find("Phrase 1 of 2, pass 1 of 8, 15 semitones down\n"), std::string::npos)
      << p.out;
}

}  // namespace
