#include "cli/CommandSupport.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "cli/FaultLocation.h"
#include "files/ScoreTextFile.h"
#include "files/SideFileWriter.h"
#include "notation/ParseErrorHints.h"
#include "notation/Score.h"
#include "playback/Player.h"
#include "playback/SideTextBinding.h"

std::string ShownPath(const std::string& path) { return path == "-" ? "standard input" : path; }

int Usage(const CommandLineStreams& streams, const char* command, const char* arguments,
          const std::string& problem) {
  if (!problem.empty()) std::fprintf(streams.err, "%s: %s\n", kProgram, problem.c_str());
  std::fprintf(streams.err, "%s: usage: %s %s %s\n", kProgram, kProgram, command, arguments);
  return kExitUsage;
}

void ReportShown(const std::vector<std::string>& shown, size_t from,
                 const CommandLineStreams& streams) {
  for (size_t i = from; i < shown.size(); ++i)
    std::fprintf(streams.err, "%s: %s\n", kProgram, shown[i].c_str());
}

bool ReadScore(const std::string& path, const CommandLineStreams& streams, std::string& text) {
  const ScoreTextReadResult result =
      path == "-" ? ReadScoreTextStream(streams.in) : ReadScoreTextFile(path);
  const std::string shown = ShownPath(path);
  switch (result.status) {
    case ScoreTextReadResult::kOk:
      text = result.text;
      return true;
    case ScoreTextReadResult::kCannotOpen:
      std::fprintf(streams.err, "%s: cannot open %s: %s\n", kProgram, shown.c_str(),
                   result.systemError.c_str());
      break;
    case ScoreTextReadResult::kReadError:
      std::fprintf(streams.err, "%s: cannot read %s: %s\n", kProgram, shown.c_str(),
                   result.systemError.c_str());
      break;
    case ScoreTextReadResult::kNotText:
      std::fprintf(streams.err, "%s: %s is not a text file (a score is UTF-8 or GBK text)\n",
                   kProgram, shown.c_str());
      break;
    case ScoreTextReadResult::kTooLong:
      if (result.fromGbk) {
        std::fprintf(streams.err,
                     "%s: %s: the score text is %zu bytes in GBK and %zu bytes once converted to "
                     "UTF-8; at most %zu bytes can be loaded\n",
                     kProgram, shown.c_str(), result.gbkLength, result.length, kMaxScoreTextBytes);
      } else {
        std::fprintf(streams.err, "%s: %s: the score text is longer than %zu bytes\n", kProgram,
                     shown.c_str(), kMaxScoreTextBytes);
      }
      break;
  }
  return false;
}

bool LoadScore(const std::string& path, const std::string& text, CPlayer& player,
               const std::vector<std::string>& shown, const CommandLineStreams& streams) {
  // The text went through the same length limit as the window's, so it fits textBuffer.
  char* const textBuffer = player.TextBuffer();
  std::memcpy(textBuffer, text.c_str(), text.size() + 1);
  const size_t shownBefore = shown.size();
  CSideFileWriter sideFiles;
  {
    const CSideTextBinding binding(player, sideFiles);
    CPlayer::CBuildOnlyScope quietly(player);
    player.LoadAndPlay(textBuffer);
  }
  if (shown.size() > shownBefore) {
    for (size_t i = shownBefore; i < shown.size(); ++i)
      std::fprintf(streams.err, "%s\n", shown[i].c_str());
    // Where the parser found the fault, after its own message.
    const CPlayer::ParseFault& fault = player.LastParseFault();
    const std::string where = DescribeFault(textBuffer, fault.phraseOffset, fault.phraseLength,
                                            fault.numberOffset, fault.numberLength);
    std::fputs(where.c_str(), streams.err);
    // What the message means for the learner, as the hint gives it (in Chinese).
    for (size_t i = shownBefore; i < shown.size(); ++i) {
      const char* hint = ParseErrorHint(shown[i].c_str());
      if (*hint != '\0') std::fprintf(streams.err, "  %s\n", hint);
    }
    return false;
  }
  if (player.LoadedScore().phraseCount == 0) {
    std::fprintf(streams.err, "%s: %s: the score holds no phrase\n", kProgram,
                 ShownPath(path).c_str());
    return false;
  }
  return true;
}

std::string ParsedArguments::Option(const std::string& name, const std::string& fallback) const {
  std::string value = fallback;
  for (const auto& option : options)
    if (option.first == name) value = option.second;
  return value;
}

bool ParsedArguments::Has(const std::string& name) const {
  for (const auto& option : options)
    if (option.first == name) return true;
  return false;
}

bool TakeSwitch(Arguments& arguments, const std::string& name) {
  const auto kept = std::remove(arguments.begin(), arguments.end(), name);
  const bool found = kept != arguments.end();
  arguments.erase(kept, arguments.end());
  return found;
}

bool ParseArguments(const Arguments& arguments, const std::vector<std::string>& known,
                    const CommandLineStreams& streams, ParsedArguments& parsed) {
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& word = arguments[i];
    if (word.size() < 3 || word.compare(0, 2, "--") != 0) {
      parsed.positional.push_back(word);
      continue;
    }
    const size_t equals = word.find('=');
    const std::string name = word.substr(0, equals);
    bool isKnown = false;
    for (const std::string& candidate : known) isKnown = isKnown || candidate == name;
    if (!isKnown) {
      std::fprintf(streams.err, "%s: unknown option '%s'\n", kProgram, name.c_str());
      return false;
    }
    if (equals != std::string::npos) {
      parsed.options.emplace_back(name, word.substr(equals + 1));
    } else if (i + 1 < arguments.size()) {
      parsed.options.emplace_back(name, arguments[++i]);
    } else {
      std::fprintf(streams.err, "%s: option '%s' needs a value\n", kProgram, name.c_str());
      return false;
    }
  }
  return true;
}

bool ParseWholeNumber(const std::string& text, long low, long high, long& value) {
  if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ') return false;
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || parsed < low || parsed > high) return false;
  value = parsed;
  return true;
}

bool ParsePhraseOption(const ParsedArguments& parsed, long& number, std::string& problem) {
  if (!parsed.Has("--phrase") ||
      ParseWholeNumber(parsed.Option("--phrase", ""), 1, kMaxPhrases, number))
    return true;
  problem = "--phrase takes a phrase number from 1";
  return false;
}

bool ParseToleranceOption(const ParsedArguments& parsed, listening::Tolerance& tolerance,
                          std::string& problem) {
  if (!parsed.Has("--tolerance") ||
      listening::ParseTolerance(parsed.Option("--tolerance", ""), tolerance))
    return true;
  problem = "--tolerance takes strict, normal or easy (a hit within 25, 50 or 100 cents), not '" +
            parsed.Option("--tolerance", "") + "'";
  return false;
}

std::string PhraseBeyondScore(const std::string& path, long number, int phrases) {
  if (number <= phrases) return {};
  return ShownPath(path) + " has " + std::to_string(phrases) + " phrase" +
         (phrases == 1 ? "" : "s") + "; --phrase takes 1 to " + std::to_string(phrases);
}
