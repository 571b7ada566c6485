#include <cstdio>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/FaultLocation.h"
#include "cli/SongJson.h"
#include "notation/SongWords.h"
#include "playback/Player.h"
#include "playback/SilentPlatform.h"

const char kCheckArguments[] = "FILE [--json]";

namespace {

// What check warns of after its report: characters the parser ignores or reads otherwise
// than meant, and, for a score that loaded, what in its song's tags is not understood.
void ReportWarnings(const std::string& text, const Song* song, const CommandLineStreams& streams) {
  std::vector<TextWarning> warnings;
  for (const LookAlikeWarning& warning : FindLookAlikes(text))
    warnings.push_back(LookAlikeTextWarning(warning));
  if (song != nullptr)
    for (const SongWarning& warning : song->warnings)
      warnings.push_back({warning.offset, warning.message});
  std::fputs(DescribeWarnings(text, warnings).c_str(), streams.err);
}

}  // namespace

int RunCheckCommand(const Arguments& arguments, const CommandLineStreams& streams) {
  Arguments positional = arguments;
  const bool json = TakeSwitch(positional, "--json");
  if (positional.size() != 1) return Usage(streams, "check", kCheckArguments);
  const std::string& path = positional[0];
  std::string text;
  if (!ReadScore(path, streams, text)) return kExitFailure;
  CSilentPlatform platform;
  CPlayer player(platform);
  if (!LoadScore(path, text, player, platform.messages, streams)) {
    ReportWarnings(text, nullptr, streams);
    return kExitFailure;
  }

  const Score& score = player.LoadedScore();
  const Song song = ReadSong(text, score);
  if (json) {
    std::fputs(SongJson(score, song).c_str(), streams.out);
  } else {
    long notes = 0;
    for (int32_t i = 0; i < score.phraseCount; ++i) notes += score.phrases[i].noteCount;
    const EventTimeline& timeline = player.Timeline();
    const int32_t endMs = timeline.count > 0 ? timeline.events[timeline.count - 1].timeMs : 0;
    std::fprintf(streams.out, "phrases: %d\nnotes: %ld\nseconds: %.3f\n", score.phraseCount, notes,
                 endMs / 1000.0);
  }
  ReportWarnings(text, &song, streams);
  return kExitOk;
}
