#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "listening/Tolerance.h"

class CPlayer;

// What the tunwick commands share: the program's name, its streams and exit statuses, the
// usage message, argument lists, reading a score file and loading it into a player without
// playing it. Includes none of the commands.

constexpr const char* kProgram = "tunwick";

struct CommandLineStreams {
  std::FILE* in = stdin;
  std::FILE* out = stdout;
  std::FILE* err = stderr;
};

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;        // bad score, unreadable input, unwritable output
constexpr int kExitUsage = 2;          // unknown command or wrong arguments
constexpr int kExitInterrupted = 130;  // stopped by Ctrl-C, as shells report SIGINT

// Reports what was wrong with a command's arguments (when `problem` is given) and its usage
// line, "tunwick: usage: tunwick COMMAND ARGUMENTS"; returns kExitUsage.
int Usage(const CommandLineStreams& streams, const char* command, const char* arguments,
          const std::string& problem = {});

// Reports each message the player showed from index `from` on, one "tunwick: ..." line each.
void ReportShown(const std::vector<std::string>& shown, size_t from,
                 const CommandLineStreams& streams);

using Arguments = std::vector<std::string>;

// Reads a score file ("-" is standard input) as the window's read command does; false after
// reporting why not.
bool ReadScore(const std::string& path, const CommandLineStreams& streams, std::string& text);

// Loads `text` into `player` without starting playback (the export command's way), with the
// side files written as every load writes them; false after reporting the parser's message (which
// the player showed into `shown`) or that the text holds no phrase.
bool LoadScore(const std::string& path, const std::string& text, CPlayer& player,
               const std::vector<std::string>& shown, const CommandLineStreams& streams);

// How a path appears in messages ("-" is standard input).
std::string ShownPath(const std::string& path);

// Takes every `name` (a switch such as "--json", which takes no value) out of `arguments`;
// whether there was one.
bool TakeSwitch(Arguments& arguments, const std::string& name);

// Splits `arguments` into positional ones and "--name value" / "--name=value" options, each
// of which must be among `known`. False after reporting an unknown or valueless option.
struct ParsedArguments {
  Arguments positional;
  std::vector<std::pair<std::string, std::string>> options;
  // The value of the last --name, or fallback.
  std::string Option(const std::string& name, const std::string& fallback) const;
  bool Has(const std::string& name) const;
};
bool ParseArguments(const Arguments& arguments, const std::vector<std::string>& known,
                    const CommandLineStreams& streams, ParsedArguments& parsed);

// A whole number in [low, high]; false when `text` is not one.
bool ParseWholeNumber(const std::string& text, long low, long high, long& value);

// --phrase N, 1-based: `number` keeps its value without the option; false, with the problem
// to report, when the option is no phrase number.
bool ParsePhraseOption(const ParsedArguments& parsed, long& number, std::string& problem);
// --tolerance strict|normal|easy: `tolerance` keeps its value without the option; false, with
// the problem to report, for any other word.
bool ParseToleranceOption(const ParsedArguments& parsed, listening::Tolerance& tolerance,
                          std::string& problem);
// The problem with phrase `number` of a loaded score of `phrases` phrases, or "" when it has
// that phrase.
std::string PhraseBeyondScore(const std::string& path, long number, int phrases);
