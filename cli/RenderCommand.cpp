#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "cli/Commands.h"
#include "cli/InterruptWatcher.h"
#include "cli/OfflineRender.h"
#include "cli/PlayModes.h"
#include "cli/ProgressBar.h"
#include "cli/RangeOption.h"
#include "cli/RenderPlatform.h"
#include "cli/TempoOption.h"
#include "files/SoundFileWriter.h"
#include "midi/MidiOutException.h"
#include "midi/OfflineSynth.h"
#include "playback/Player.h"

const char kRenderArguments[] =
    "FILE OUT.wav|OUT.flac|OUT.ogg [--mode all|teaching|practice] [--repeat N] "
    "[--range LOW-HIGH] [--tempo PERCENT]";

namespace {

// A WAV file's sizes are 32-bit: 16-bit stereo at 44.1 kHz holds a little over 6.7 hours.
constexpr int64_t kLongestRenderMs = 6LL * 60 * 60 * 1000;
constexpr long kMostRepeats = 10000;

}  // namespace

int RunRenderCommand(const Arguments& arguments, const CommandLineStreams& streams,
                     const RenderMachine& machine) {
  ParsedArguments parsed;
  if (!ParseArguments(arguments, {"--mode", "--repeat", "--range", "--tempo"}, streams, parsed) ||
      parsed.positional.size() != 2)
    return Usage(streams, "render", kRenderArguments);
  RenderPlan plan;
  const std::string modeName = parsed.Option("--mode", "all");
  if (!ParsePlayMode(modeName, plan.mode) || plan.mode == RepeatMode)
    return Usage(streams, "render", kRenderArguments, "unknown mode '" + modeName + "'");
  if (parsed.Has("--repeat")) {
    long repeat = 0;
    if (plan.mode != PlayAllMode)
      return Usage(streams, "render", kRenderArguments, "--repeat goes with --mode all");
    if (!ParseWholeNumber(parsed.Option("--repeat", ""), 1, kMostRepeats, repeat))
      return Usage(streams, "render", kRenderArguments,
                   "--repeat takes a count from 1 to " + std::to_string(kMostRepeats));
    plan.repeat = static_cast<int>(repeat);
  }
  std::string problem;
  if (!ParseRangeOption(parsed, plan.range, problem))
    return Usage(streams, "render", kRenderArguments, problem);
  if (!ParseTempoOption(parsed, plan.tempoPercent, problem))
    return Usage(streams, "render", kRenderArguments, problem);

  const std::string& path = parsed.positional[0];
  const std::string& out = parsed.positional[1];
  // The file's name chooses its format; a name the command cannot write is refused up front.
  const std::optional<SoundFileFormat> format = SoundFileFormatFor(out);
  if (!format)
    return Usage(streams, "render", kRenderArguments,
                 "cannot write " + out + ": render writes .wav, .flac or .ogg (Ogg Vorbis) files");
  std::string text;
  if (!ReadScore(path, streams, text)) return kExitFailure;

  std::unique_ptr<midi::COfflineSynth> synth;
  try {
    synth = std::make_unique<midi::COfflineSynth>(machine.soundfont);
  } catch (const midi::CMIDIOutException& error) {
    std::fprintf(streams.err, "%s: cannot start the synthesizer: %s\n", kProgram, error.what());
    return kExitFailure;
  }
  CSoundFileWriter sound;
  CRenderPlatform platform(
      *synth, [&sound](const int16_t* frames, int count) { return sound.Write(frames, count); });
  CPlayer player(platform);
  player.SetTempoPercent(plan.tempoPercent);
  if (!LoadScore(path, text, player, platform.messages, streams)) return kExitFailure;

  const int64_t plannedMs =
      PlannedRenderMs(text.c_str(), plan, static_cast<int32_t>(platform.CueMs(kCueSoundName)));
  if (*format == SoundFileFormat::kWav && plannedMs > kLongestRenderMs) {
    std::fprintf(streams.err,
                 "%s: the render would last %.1f hours; a WAV file holds at most %lld\n", kProgram,
                 plannedMs / 3600000.0, static_cast<long long>(kLongestRenderMs / 3600000));
    return kExitFailure;
  }
  if (!sound.Open(out, CRenderPlatform::kSampleRate, 2, *format)) {
    std::fprintf(streams.err, "%s: cannot write %s: %s\n", kProgram, out.c_str(),
                 sound.Error().c_str());
    return kExitFailure;
  }

  CInterruptWatcher watcher(nullptr);
  CProgressBar bar(streams.err, plannedMs);
  const auto started = std::chrono::steady_clock::now();
  const size_t shownBefore = platform.messages.size();
  const RenderOutcome outcome = RunRender(player, platform, plan, [&](int64_t renderedMs) {
    bar.Update(renderedMs);
    return !watcher.Interrupted();
  });
  if (outcome == RenderOutcome::kCancelled) {
    bar.Clear();
    sound.Discard();
    std::fprintf(streams.err, "%s: render stopped; %s was not written\n", kProgram, out.c_str());
    return kExitInterrupted;
  }
  if (outcome == RenderOutcome::kFailed) {
    bar.Clear();
    if (platform.SinkFailed()) {
      std::fprintf(streams.err, "%s: cannot write %s: %s\n", kProgram, out.c_str(),
                   sound.Error().c_str());
    } else {
      ReportShown(platform.messages, shownBefore, streams);
    }
    return kExitFailure;
  }
  if (!sound.Commit()) {
    bar.Clear();
    std::fprintf(streams.err, "%s: cannot write %s: %s\n", kProgram, out.c_str(),
                 sound.Error().c_str());
    return kExitFailure;
  }
  bar.Finish();
  const double seconds =
      static_cast<double>(platform.RenderedFrames()) / CRenderPlatform::kSampleRate;
  const double took =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::fprintf(streams.out, "Wrote %s: %.1f s of audio (%s) in %.1f s\n", out.c_str(), seconds,
               modeName.c_str(), took);
  return kExitOk;
}
