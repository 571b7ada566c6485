#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "cli/Commands.h"
#include "files/ScoreTextFile.h"
#include "importers/ImporterTable.h"
#include "listening/Pitch.h"
#include "notation/Score.h"
#include "notation/ScoreParseError.h"

const char kImportArguments[] =
    "SOURCE OUT.txt [--tune N] [--part N] [--melody-only] [--phrase-bars N] [--list]";

namespace {

int ImportUsage(const CommandLineStreams& streams, const std::string& problem = {}) {
  return Usage(streams, "import", kImportArguments, problem);
}

// --name N within [low, high] into `value` (kept without the option); false with the problem.
bool NumberOption(const ParsedArguments& parsed, const char* name, long high, int& value,
                  std::string& problem) {
  if (!parsed.Has(name)) return true;
  long number = 0;
  if (ParseWholeNumber(parsed.Option(name, ""), 1, high, number)) {
    value = static_cast<int>(number);
    return true;
  }
  problem = std::string(name) + " takes a whole number from 1 to " + std::to_string(high);
  return false;
}

int List(const std::string& source, const CommandLineStreams& streams) {
  for (const importers::ImportListing& row : importers::ListFile(source)) {
    std::string range = "-";
    if (row.notes > 0)
      range = listening::NoteName(row.lowKey) + "-" + listening::NoteName(row.highKey);
    std::fprintf(streams.out, "%-10s %-40s %6d notes  %s\n", row.label.c_str(), row.name.c_str(),
                 row.notes, range.c_str());
  }
  return kExitOk;
}

}  // namespace

int RunImportCommand(const Arguments& arguments, const CommandLineStreams& streams) {
  Arguments rest = arguments;
  importers::ImportOptions options;
  options.melodyOnly = TakeSwitch(rest, "--melody-only");
  const bool list = TakeSwitch(rest, "--list");
  ParsedArguments parsed;
  if (!ParseArguments(rest, {"--tune", "--part", "--phrase-bars"}, streams, parsed))
    return ImportUsage(streams);
  std::string problem;
  if (!NumberOption(parsed, "--tune", 1000000000L, options.tune, problem) ||
      !NumberOption(parsed, "--part", 1000, options.part, problem) ||
      !NumberOption(parsed, "--phrase-bars", 1000, options.phraseBars, problem))
    return ImportUsage(streams, problem);
  if (parsed.positional.size() != (list ? 1u : 2u)) return ImportUsage(streams);
  const std::string& source = parsed.positional[0];
  if (importers::FormatOfPath(source) == nullptr)
    return ImportUsage(streams, "cannot tell the format of " + source +
                                    " from its name: it must end in one of " +
                                    importers::KnownSuffixes());

  try {
    if (list) return List(source, streams);
    const importers::WrittenScore written = importers::ImportFile(source, options);
    // The text must load as any score does before it is written anywhere.
    const auto score = std::make_unique<Score>();
    ParseScore(written.text.data(), static_cast<int32_t>(written.text.size()), *score);
    for (const importers::ImportLoss& loss : written.losses)
      std::fprintf(streams.err, "%s: bar %d: %s\n", kProgram, loss.bar, loss.what.c_str());

    const std::string& out = parsed.positional[1];
    if (out == "-") {
      if (std::fwrite(written.text.data(), 1, written.text.size(), streams.out) !=
              written.text.size() ||
          std::fflush(streams.out) != 0) {
        std::fprintf(streams.err, "%s: cannot write to standard output: %s\n", kProgram,
                     std::strerror(errno));
        return kExitFailure;
      }
    } else if (const FileWriteResult result = WriteScoreTextFile(out, written.text); !result.ok) {
      std::fprintf(streams.err, "%s: cannot write %s: %s\n", kProgram, out.c_str(),
                   result.systemError.c_str());
      return kExitFailure;
    }
    std::fprintf(streams.err, "%s: %s: %d phrase(s), %d voice(s), %zu change(s) reported\n",
                 kProgram, source.c_str(), written.phrases, written.voices, written.losses.size());
  } catch (const importers::ImportError& error) {
    std::fprintf(streams.err, "%s: cannot import %s: %s\n", kProgram, source.c_str(), error.what());
    return kExitFailure;
  } catch (const ScoreParseError& error) {
    std::fprintf(streams.err, "%s: cannot import %s: the score made from it does not load (%s)\n",
                 kProgram, source.c_str(), error.what());
    return kExitFailure;
  }
  return kExitOk;
}
