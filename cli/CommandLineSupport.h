#pragma once

#include <string>
#include <vector>

#include "cli/CommandLine.h"

class CPlayer;

// What the tunwick commands share: the program's name, argument lists, reading a score
// file and loading it into a player without playing it.

constexpr const char* kProgram = "tunwick";

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
