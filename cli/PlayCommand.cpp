#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include "cli/Commands.h"
#include "cli/PlayDisplay.h"
#include "cli/PlayModes.h"
#include "cli/RangeOption.h"
#include "cli/TempoOption.h"
#include "midi/SynthPort.h"
#include "playback/Player.h"

const char kPlayArguments[] =
    "FILE [--mode all|repeat|teaching|practice] [--device N] [--wait SECONDS] [--range LOW-HIGH] "
    "[--tempo PERCENT] [--latency MS]";

// The longest wait before playing: an hour.
constexpr long kMaxWaitSeconds = 3600;

int RunPlayCommand(const Arguments& arguments, const CommandLineStreams& streams,
                   const PlayMachine& machine) {
  ParsedArguments parsed;
  if (!ParseArguments(arguments,
                      {"--mode", "--device", "--wait", "--range", "--tempo", "--latency"}, streams,
                      parsed) ||
      parsed.positional.size() != 1)
    return Usage(streams, "play", kPlayArguments);
  PlayMode mode = PlayAllMode;
  const std::string modeName = parsed.Option("--mode", "all");
  if (!ParsePlayMode(modeName, mode))
    return Usage(streams, "play", kPlayArguments, "unknown mode '" + modeName + "'");
  long deviceIndex = -1;
  if (parsed.Has("--device") &&
      !ParseWholeNumber(parsed.Option("--device", ""), 0, INT_MAX, deviceIndex))
    return Usage(streams, "play", kPlayArguments,
                 "'" + parsed.Option("--device", "") + "' is no device number");
  long waitSeconds = 0;
  if (parsed.Has("--wait") &&
      !ParseWholeNumber(parsed.Option("--wait", ""), 0, kMaxWaitSeconds, waitSeconds))
    return Usage(streams, "play", kPlayArguments,
                 "'" + parsed.Option("--wait", "") + "' is no number of seconds up to 3600");
  // A fixed latency is the synthesizer's setting, which the device reads as it opens.
  long latencyMs = 0;
  if (parsed.Has("--latency")) {
    if (!ParseWholeNumber(parsed.Option("--latency", ""), midi::kOutputLatencyMs,
                          midi::kMaxLatencyMs, latencyMs))
      return Usage(streams, "play", kPlayArguments,
                   "'" + parsed.Option("--latency", "") + "' is no latency from 40 to 1000 ms");
    setenv("TUNWICK_LATENCY_MS", std::to_string(latencyMs).c_str(), 1);
  }
  std::optional<VoiceRange> range;
  std::string problem;
  if (!ParseRangeOption(parsed, range, problem))
    return Usage(streams, "play", kPlayArguments, problem);
  int32_t tempoPercent = 100;
  if (!ParseTempoOption(parsed, tempoPercent, problem))
    return Usage(streams, "play", kPlayArguments, problem);

  const std::string& path = parsed.positional[0];
  std::string text;
  if (!ReadScore(path, streams, text)) return kExitFailure;
  CHeadlessSession session(machine);
  session.Player().SetTempoPercent(tempoPercent);
  if (!session.Load(path, text, streams)) return kExitFailure;
  session.Player().SetRange(range);
  session.WatchInterrupts();
  if (!session.OpenDevice(deviceIndex, streams)) return kExitFailure;

  CHeadlessPlatform& platform = session.Platform();
  // A moment to get ready, with the device open as the window holds it between plays.
  const auto start = std::chrono::steady_clock::now() + std::chrono::seconds(waitSeconds);
  while (std::chrono::steady_clock::now() < start && !platform.Stopped())
    std::this_thread::sleep_for(std::chrono::milliseconds(20));

  std::fprintf(streams.out, "Playing %s (%s). Press Ctrl-C to stop.\n", ShownPath(path).c_str(),
               modeName.c_str());
  CPlayDisplay display(session.Player(), text.substr(0, text.find('\0')), streams.out,
                       TerminalWidth(streams.out), [&platform] { return platform.Stopped(); });
  session.Player().AddObserver(&display);
  session.Run([&] { StartPlayMode(session.Player(), mode); });
  display.Finish();
  const int status = session.Outcome(streams);
  if (status == kExitOk) std::fprintf(streams.out, "Done.\n");
  return status;
}
