#include "cli/ListenCommand.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <string>
#include <vector>

#include "cli/HeadlessPlatform.h"
#include "cli/InterruptWatcher.h"
#include "cli/JudgementReport.h"
#include "cli/PlayClock.h"
#include "listening/PhraseTargets.h"
#include "midi/MidiOutDevice.h"
#include "playback/Player.h"
#include "singback/CaptureEar.h"

const char kListenArguments[] = "FILE [--phrase N]";

namespace {

// How often the live pitch line is redrawn.
constexpr int64_t kLiveEveryMs = 50;

int Usage(const CommandLineStreams& streams, const std::string& problem = {}) {
  if (!problem.empty()) std::fprintf(streams.err, "%s: %s\n", kProgram, problem.c_str());
  std::fprintf(streams.err, "%s: usage: %s listen %s\n", kProgram, kProgram, kListenArguments);
  return kExitUsage;
}

// The default input through CAudioCapture.
class CDefaultInput : public SoundInput {
 public:
  unsigned Start(capture::CAudioCapture::BlockSink sink) override {
    capture_.Start(std::move(sink));
    return capture_.sampleRate();
  }

 private:
  capture::CAudioCapture capture_;
};

// Tells the learner what the exercise does as it does it, and shows each judged try.
class CListenDisplay : public PlayerObserver {
 public:
  CListenDisplay(const CPlayer& player, const CCaptureEar& ear, const std::string& path,
                 std::FILE* out)
      : player_(player), ear_(ear), path_(path), out_(out) {}

  void OnPlayerNotification(const PlayerNotification& n) override {
    const PlayerPosition at = player_.Position();
    switch (n.kind) {
      case PlayerNotification::kPassBegins:
        EndLive();
        std::fprintf(out_, "Phrase %d of %d, try %d of %d: listen\n", at.phrase + 1, at.phraseCount,
                     at.pass, at.passCount);
        break;
      case PlayerNotification::kListeningBegins:
        EndLive();
        std::fprintf(out_, "Sing it back now (%.1f s)\n", n.lengthMs / 1000.0);
        listening_ = true;
        takeSeconds_ = n.lengthMs / 1000.0;
        break;
      case PlayerNotification::kListeningEnds: {
        EndLive();
        listening_ = false;
        TakeReportHeading heading;
        heading.score = path_;
        heading.take = "the default input";
        heading.phrase = n.row + 1;
        heading.phrases = at.phraseCount;
        heading.takeSeconds = takeSeconds_;
        WriteJudgementTable(out_, heading, ear_.LastJudgement());
        break;
      }
      case PlayerNotification::kStopped:
        EndLive();
        listening_ = false;
        break;
      default:
        break;
    }
    std::fflush(out_);
  }

  // The newest pitch heard against the note due then, on one line redrawn in place.
  void ShowLive() {
    listening::PitchFrame frame;
    if (!listening_ || !ear_.LatestFrame(frame)) return;
    std::string line = "  heard: ";
    if (!frame.voiced) {
      line += "-";
    } else {
      const int32_t nearest = static_cast<int32_t>(std::lround(frame.midiCents / 100.0));
      line += listening::NoteName(nearest);
      const std::vector<listening::TargetNote> targets =
          listening::PhraseTargets(player_.score().phrases[player_.PhraseIndex()], 0);
      for (const listening::TargetNote& target : targets) {
        if (frame.timeMs < target.startMs || frame.timeMs >= target.endMs) continue;
        const double cents = listening::FoldToNearestOctave(frame.midiCents - 100.0 * target.pitch);
        char text[64];
        std::snprintf(text, sizeof text, "  (%s %+.0f cents)",
                      listening::NoteName(target.pitch).c_str(), cents);
        line += text;
        break;
      }
    }
    line.resize(std::max<size_t>(line.size(), 40), ' ');
    std::fprintf(out_, "\r%s", line.c_str());
    std::fflush(out_);
    liveShown_ = true;
  }

  void EndLive() {
    if (!liveShown_) return;
    std::fprintf(out_, "\n");
    liveShown_ = false;
  }

 private:
  const CPlayer& player_;
  const CCaptureEar& ear_;
  std::string path_;
  std::FILE* out_;
  bool listening_ = false;
  bool liveShown_ = false;
  double takeSeconds_ = 0.0;  // the length of the take running or judged last
};

}  // namespace

int RunListenCommand(const Arguments& arguments, const CommandLineStreams& streams,
                     const ListenMachine& machine) {
  ParsedArguments parsed;
  if (!ParseArguments(arguments, {"--phrase"}, streams, parsed) || parsed.positional.size() != 1)
    return Usage(streams);
  long phraseNumber = 0;
  if (parsed.Has("--phrase") &&
      !ParseWholeNumber(parsed.Option("--phrase", ""), 1, kMaxPhrases, phraseNumber))
    return Usage(streams, "--phrase takes a phrase number from 1");

  const std::string& path = parsed.positional[0];
  std::string text;
  if (!ReadScore(path, streams, text)) return kExitFailure;
  std::unique_ptr<CMIDIOutDevice> device =
      machine.makeDevice ? machine.makeDevice() : std::make_unique<CMIDIOutDevice>();
  CSteadyPlayClock steadyClock;
  PlayClock& clock = machine.clock != nullptr ? *machine.clock : steadyClock;
  CHeadlessPlatform platform(*device, clock);
  CPlayer player(platform);
  if (!LoadScore(path, text, player, platform.messages, streams)) return kExitFailure;
  const int32_t phrases = player.score().phraseCount;
  if (phraseNumber > phrases)
    return Usage(streams, ShownPath(path) + " has " + std::to_string(phrases) + " phrase" +
                              (phrases == 1 ? "" : "s") + "; --phrase takes 1 to " +
                              std::to_string(phrases));

  // Watching before the input and the device start their threads, so that those leave
  // Ctrl-C to the watcher.
  CInterruptWatcher watcher([&platform] { platform.Stop(); });
  // The input opens first: without one nothing is played.
  std::unique_ptr<CCaptureEar> ear;
  std::atomic<CCaptureEar*> feeding{nullptr};
  std::unique_ptr<SoundInput> input =
      machine.makeInput ? machine.makeInput() : std::make_unique<CDefaultInput>();
  unsigned rate = 0;
  try {
    rate = input->Start([&feeding](const float* samples, unsigned frames) {
      if (CCaptureEar* to = feeding.load()) to->OnSamples(samples, frames);
    });
    ear = std::make_unique<CCaptureEar>(player.score(), static_cast<int>(rate));
  } catch (const std::exception& error) {
    input.reset();
    std::fprintf(streams.err, "%s: cannot listen: %s\n", kProgram, error.what());
    return kExitFailure;
  }
  feeding.store(ear.get());
  player.SetEar(ear.get());

  try {
    device->Open();
  } catch (const midi::CMIDIOutException& error) {
    feeding.store(nullptr);
    input.reset();
    std::fprintf(streams.err, "%s: cannot open the MIDI output device: %s\n", kProgram,
                 error.what());
    return kExitFailure;
  }

  std::fprintf(streams.out, "Sing-back of %s. Press Ctrl-C to stop.\n", ShownPath(path).c_str());
  CListenDisplay display(player, *ear, ShownPath(path), streams.out);
  player.AddObserver(&display);
  const size_t shownBefore = platform.messages.size();
  player.OnSingBack(static_cast<int32_t>(phraseNumber) - 1);
  int64_t nextLiveMs = clock.NowMs();
  platform.Run(player, [&] {
    if (clock.NowMs() < nextLiveMs) return;
    nextLiveMs = clock.NowMs() + kLiveEveryMs;
    display.ShowLive();
  });
  const bool interrupted = platform.Stopped();
  platform.CloseDevice();
  feeding.store(nullptr);
  input.reset();
  display.EndLive();
  player.RemoveObserver(&display);

  for (size_t i = shownBefore; i < platform.messages.size(); ++i)
    std::fprintf(streams.err, "%s: %s\n", kProgram, platform.messages[i].c_str());
  if (platform.messages.size() > shownBefore) return kExitFailure;
  if (interrupted) {
    std::fprintf(streams.out, "Stopped.\n");
    return kExitInterrupted;
  }
  // The summary: how each phrase of the exercise went.
  std::fprintf(streams.out, "Summary:\n");
  const std::vector<SingBackResult>& results = player.SingBackResults();
  for (size_t row = 0; row < results.size(); ++row) {
    const SingBackResult& result = results[row];
    if (result.tries == 0) continue;
    std::fprintf(streams.out, "  phrase %zu: %s after %d tr%s, %d of %d notes hit\n", row + 1,
                 result.passed ? "passed" : "not passed", result.tries,
                 result.tries == 1 ? "y" : "ies", result.hits, result.judged);
  }
  return kExitOk;
}
