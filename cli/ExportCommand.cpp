#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "midi/MidiFileWriter.h"
#include "playback/Player.h"
#include "playback/SilentPlatform.h"

int RunExportCommand(const Arguments& arguments, const CommandLineStreams& streams) {
  std::string text;
  if (!ReadScore(arguments[0], streams, text)) return kExitFailure;
  CSilentPlatform platform;
  CPlayer player(platform);
  if (!LoadScore(arguments[0], text, player, platform.messages, streams)) return kExitFailure;

  const std::string& out = arguments[1];
  try {
    const std::vector<uint8_t> bytes = midi::MidiFileBytes(player.Timeline());
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
