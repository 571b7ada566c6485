#include <cstdio>
#include <string>

#include "capture/TakeFile.h"
#include "cli/Commands.h"
#include "cli/JudgementReport.h"
#include "listening/Pitch.h"
#include "listening/RangeAnalysis.h"
#include "listening/VoiceRangeText.h"

const char kRangeArguments[] = "TAKE.wav [--json]";

int RunRangeCommand(const Arguments& arguments, const CommandLineStreams& streams) {
  Arguments rest = arguments;
  const bool json = TakeSwitch(rest, "--json");
  ParsedArguments parsed;
  if (!ParseArguments(rest, {}, streams, parsed) || parsed.positional.size() != 1)
    return Usage(streams, "range", kRangeArguments);

  const std::string& takePath = parsed.positional[0];
  const capture::TakeFileResult take = capture::TrackTakeFile(takePath);
  if (!take.ok) {
    std::fprintf(streams.err, "%s: cannot read %s: %s\n", kProgram, takePath.c_str(),
                 take.error.c_str());
    return kExitFailure;
  }
  const listening::RangeSettings settings;
  const listening::SungRange range = listening::FindSungRange(take.track, settings);
  if (!range.Found()) {
    std::fprintf(streams.err,
                 "%s: no note held for %.0f ms in %s (%.1f s): sing slowly from your lowest "
                 "comfortable note to your highest, holding each one\n",
                 kProgram, settings.heldMs, takePath.c_str(), take.seconds);
    return kExitFailure;
  }

  const std::string lowest = listening::NoteName(range.lowest);
  const std::string highest = listening::NoteName(range.highest);
  if (json) {
    std::fprintf(streams.out,
                 "{\"take\": %s, \"seconds\": %.2f, \"heldNotes\": %zu, \"lowest\": %s, "
                 "\"lowestKey\": %d, \"highest\": %s, \"highestKey\": %d}\n",
                 JsonString(takePath).c_str(), take.seconds, range.held.size(),
                 JsonString(lowest).c_str(), range.lowest, JsonString(highest).c_str(),
                 range.highest);
    return kExitOk;
  }
  std::fprintf(streams.out, "Take %s: %.1f s, %zu notes held %.0f ms or more\n", takePath.c_str(),
               take.seconds, range.held.size(), settings.heldMs);
  std::fprintf(streams.out, "  Lowest:  %-4s (key %d)\n  Highest: %-4s (key %d)\n", lowest.c_str(),
               range.lowest, highest.c_str(), range.highest);
  if (range.lowest < range.highest) {
    std::fprintf(streams.out,
                 "Range %s, %d semitones: play, render, listen and score take it as "
                 "--range %s\n",
                 listening::VoiceRangeText({range.lowest, range.highest}).c_str(),
                 range.highest - range.lowest,
                 listening::VoiceRangeText({range.lowest, range.highest}).c_str());
  } else {
    std::fprintf(streams.out, "Only one note held: sing from your lowest note to your highest.\n");
  }
  return kExitOk;
}
