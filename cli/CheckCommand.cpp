#include <cstdio>
#include <string>

#include "cli/Commands.h"
#include "cli/FaultLocation.h"
#include "playback/Player.h"
#include "playback/SilentPlatform.h"

namespace {

// Characters the parser ignores or reads otherwise than meant, after what check reports.
void ReportLookAlikes(const std::string& text, const CommandLineStreams& streams) {
  std::fputs(DescribeLookAlikes(text, FindLookAlikes(text)).c_str(), streams.err);
}

}  // namespace

int RunCheckCommand(const Arguments& arguments, const CommandLineStreams& streams) {
  std::string text;
  if (!ReadScore(arguments[0], streams, text)) return kExitFailure;
  CSilentPlatform platform;
  CPlayer player(platform);
  if (!LoadScore(arguments[0], text, player, platform.messages, streams)) {
    ReportLookAlikes(text, streams);
    return kExitFailure;
  }

  const Score& score = player.LoadedScore();
  long notes = 0;
  for (int32_t i = 0; i < score.phraseCount; ++i) notes += score.phrases[i].noteCount;
  const EventTimeline& timeline = player.Timeline();
  const int32_t endMs = timeline.count > 0 ? timeline.events[timeline.count - 1].timeMs : 0;
  std::fprintf(streams.out, "phrases: %d\nnotes: %ld\nseconds: %.3f\n", score.phraseCount, notes,
               endMs / 1000.0);
  ReportLookAlikes(text, streams);
  return kExitOk;
}
