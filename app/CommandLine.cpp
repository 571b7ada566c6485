#include "app/CommandLine.h"

#include <cstring>
#include <string>
#include <vector>

#include "app/ScoreTextFile.h"
#include "app/SilentPlatform.h"
#include "midi/MidiFileWriter.h"
#include "playback/Player.h"
#include "playback/TextBuffer.h"

namespace {

constexpr const char* kProgram = "tunwick";
constexpr const char* kVersion = "1.0.0.1";

using Arguments = std::vector<std::string>;

struct Command {
  const char* name;
  const char* arguments;
  const char* summary;
  int argumentCount;
  int (*run)(const Arguments& arguments, const CommandLineStreams& streams);
};

int Help(const Arguments&, const CommandLineStreams& streams);
int Version(const Arguments&, const CommandLineStreams& streams);
int Check(const Arguments& arguments, const CommandLineStreams& streams);
int Export(const Arguments& arguments, const CommandLineStreams& streams);

const Command kCommands[] = {
    {"check", "FILE", "print the phrase count, note count and length in seconds of a score", 1,
     Check},
    {"export", "FILE OUT.mid", "write a score as a Standard MIDI File", 2, Export},
    {"--help", "", "show this help", 0, Help},
    {"--version", "", "show the version", 0, Version},
};

int Help(const Arguments&, const CommandLineStreams& streams) {
  std::fprintf(streams.out,
               "Usage: %s                  open the Tunwick window\n"
               "       %s COMMAND ARGS...\n\nCommands:\n",
               kProgram, kProgram);
  for (const Command& command : kCommands) {
    const std::string head = std::string(command.name) + " " + command.arguments;
    std::fprintf(streams.out, "  %-22s %s\n", head.c_str(), command.summary);
  }
  std::fprintf(streams.out,
               "\nFILE is a score text file as the window reads it (UTF-8, or GBK from older\n"
               "files); \"-\" reads standard input. OUT.mid \"-\" writes to standard output.\n");
  return kExitOk;
}

int Version(const Arguments&, const CommandLineStreams& streams) {
  std::fprintf(streams.out, "%s %s\n", kProgram, kVersion);
  return kExitOk;
}

// Reads a score file as the read-file command does; false after reporting why not.
bool ReadScore(const std::string& path, const CommandLineStreams& streams, std::string& text) {
  const bool fromStdin = path == "-";
  const ScoreTextReadResult result =
      fromStdin ? ReadScoreTextStream(streams.in) : ReadScoreTextFile(path);
  const char* shown = fromStdin ? "standard input" : path.c_str();
  switch (result.status) {
    case ScoreTextReadResult::kOk:
      text = result.text;
      return true;
    case ScoreTextReadResult::kCannotOpen:
      std::fprintf(streams.err, "%s: cannot open %s: %s\n", kProgram, shown,
                   result.systemError.c_str());
      break;
    case ScoreTextReadResult::kReadError:
      std::fprintf(streams.err, "%s: cannot read %s: %s\n", kProgram, shown,
                   result.systemError.c_str());
      break;
    case ScoreTextReadResult::kTooLong:
      std::fprintf(streams.err, "%s: %s: the score text is longer than %zu bytes\n", kProgram,
                   shown, kMaxScoreTextBytes);
      break;
  }
  return false;
}

// Loads a score text into `player` as the MIDI export command does (no playback); false
// after reporting the parser's message, or that the text holds no phrase.
bool LoadScore(const std::string& path, const std::string& text, CPlayer& player,
               CSilentPlatform& platform, const CommandLineStreams& streams) {
  std::memcpy(textBuffer, text.c_str(), text.size() + 1);
  player.autoPlay = 0;
  player.LoadAndPlay(textBuffer);
  player.autoPlay = 1;
  if (!platform.messages.empty()) {
    for (const std::string& message : platform.messages)
      std::fprintf(streams.err, "%s\n", message.c_str());
    return false;
  }
  if (player.score().phraseCount == 0) {
    std::fprintf(streams.err, "%s: %s: the score holds no phrase\n", kProgram,
                 path == "-" ? "standard input" : path.c_str());
    return false;
  }
  return true;
}

int Check(const Arguments& arguments, const CommandLineStreams& streams) {
  std::string text;
  if (!ReadScore(arguments[0], streams, text)) return kExitFailure;
  CSilentPlatform platform;
  CPlayer player(platform);
  if (!LoadScore(arguments[0], text, player, platform, streams)) return kExitFailure;

  const Score& score = player.score();
  long notes = 0;
  for (int32_t i = 0; i < score.phraseCount; ++i) notes += score.phrases[i].noteCount;
  const EventTimeline& timeline = player.timeline();
  const int32_t endMs = timeline.count > 0 ? timeline.events[timeline.count - 1].timeMs : 0;
  std::fprintf(streams.out, "phrases: %d\nnotes: %ld\nseconds: %.3f\n", score.phraseCount, notes,
               endMs / 1000.0);
  return kExitOk;
}

int Export(const Arguments& arguments, const CommandLineStreams& streams) {
  std::string text;
  if (!ReadScore(arguments[0], streams, text)) return kExitFailure;
  CSilentPlatform platform;
  CPlayer player(platform);
  if (!LoadScore(arguments[0], text, player, platform, streams)) return kExitFailure;

  const std::string& out = arguments[1];
  try {
    const std::vector<uint8_t> bytes = midi::MidiFileBytes(player.timeline());
    if (out == "-") {
      if (std::fwrite(bytes.data(), 1, bytes.size(), streams.out) != bytes.size() ||
          std::fflush(streams.out) != 0) {
        std::fprintf(streams.err, "%s: cannot write to standard output: %s\n", kProgram,
                     std::strerror(errno));
        return kExitFailure;
      }
    } else {
      midi::WriteMidiFile(out, bytes);
    }
  } catch (const std::exception& error) {
    std::fprintf(streams.err, "%s: cannot write %s: %s\n", kProgram, out.c_str(), error.what());
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace

int RunCommandLine(int argc, char** argv, const CommandLineStreams& streams) {
  std::string name = argc > 1 ? argv[1] : "--help";
  if (name == "-h" || name == "help") name = "--help";
  if (name == "-V") name = "--version";
  const Arguments arguments(argv + 2, argv + argc);
  for (const Command& command : kCommands) {
    if (name != command.name) continue;
    if (static_cast<int>(arguments.size()) != command.argumentCount) {
      std::fprintf(streams.err, "%s: usage: %s %s %s\n", kProgram, kProgram, command.name,
                   command.arguments);
      return kExitUsage;
    }
    return command.run(arguments, streams);
  }
  std::fprintf(streams.err, "%s: unknown command '%s' (try '%s --help')\n", kProgram, name.c_str(),
               kProgram);
  return kExitUsage;
}
