#include "cli/CommandLine.h"

#include <string>

#include "cli/Commands.h"

namespace {

constexpr int kOptionsChecked = -1;  // the command checks its own arguments

struct Command {
  const char* name;
  const char* arguments;
  const char* summary;
  int argumentCount;  // or kOptionsChecked
  int (*run)(const Arguments& arguments, const CommandLineStreams& streams);
};

int Help(const Arguments&, const CommandLineStreams& streams);
int Version(const Arguments&, const CommandLineStreams& streams);
int Devices(const Arguments&, const CommandLineStreams& streams) {
  return RunDevicesCommand(streams);
}
int Play(const Arguments& arguments, const CommandLineStreams& streams) {
  return RunPlayCommand(arguments, streams);
}
int Render(const Arguments& arguments, const CommandLineStreams& streams) {
  return RunRenderCommand(arguments, streams);
}
int Listen(const Arguments& arguments, const CommandLineStreams& streams) {
  return RunListenCommand(arguments, streams);
}
int Learn(const Arguments& arguments, const CommandLineStreams& streams) {
  return RunLearnCommand(arguments, streams);
}

const Command kCommands[] = {
    {"check", kCheckArguments,
     "print the phrase count, note count and length in seconds of a score; --json: the song as "
     "data, each phrase's notes with their words",
     kOptionsChecked, RunCheckCommand},
    {"export", "FILE OUT.mid", "write a score as a Standard MIDI File", 2, RunExportCommand},
    {"jianpu", kJianpuArguments,
     "write a score in numbered notation (jianpu) on A4 pages: a PDF, or an SVG or PNG picture",
     kOptionsChecked, RunJianpuCommand},
    {"import", kImportArguments,
     "write a song from another format (ABC, MusicXML, MIDI or karaoke) as a score, with its "
     "title, meter and words; what the notation cannot hold is reported by bar",
     kOptionsChecked, RunImportCommand},
    {"devices", "", "list the MIDI output devices (device 0 is the built-in synthesizer)", 0,
     Devices},
    {"play", kPlayArguments,
     "play a score through a MIDI output device, after --wait SECONDS with it open, the "
     "synthesizer "
     "--latency MS behind; Ctrl-C stops",
     kOptionsChecked, Play},
    {"render", kRenderArguments, "render a score to a 44.1 kHz stereo WAV, FLAC or Ogg Vorbis file",
     kOptionsChecked, Render},
    {"score", kScoreArguments,
     "judge a recorded take against a phrase: each note's pitch, cents and verdict",
     kOptionsChecked, RunScoreCommand},
    {"listen", kListenArguments,
     "sing each phrase back after it plays: the pitch live and a table after each try",
     kOptionsChecked, Listen},
    {"learn", kLearnArguments,
     "today's course of a song: reviews, phrases to learn (slower when needed), chained and "
     "whole; --plan only says what it would do",
     kOptionsChecked, Learn},
    {"range", kRangeArguments,
     "the lowest and highest notes held (300 ms or more) in a take sung slowly from low to high",
     kOptionsChecked, RunRangeCommand},
    {"progress", kProgressArguments,
     "the practice history: every score's phrases, tries, best, last and days, or one score's "
     "tries; --forget removes a score's",
     kOptionsChecked, RunProgressCommand},
    {"--help", "", "show this help", 0, Help},
    {"--version", "", "show the version", 0, Version},
};

int Help(const Arguments&, const CommandLineStreams& streams) {
  std::fprintf(streams.out,
               "Usage: %s                  open the Tunwick window\n"
               "       %s COMMAND ARGS...\n\nCommands:\n",
               kProgram, kProgram);
  for (const Command& command : kCommands) {
    std::string head = command.name;
    if (*command.arguments != '\0') head = head + " " + command.arguments;
    std::fprintf(streams.out, "  %s\n      %s\n", head.c_str(), command.summary);
  }
  std::fprintf(streams.out,
               "\nFILE is a score text file as the window reads it (UTF-8, or GBK from older\n"
               "files); \"-\" reads standard input. OUT.mid \"-\" writes to standard output.\n"
               "--mode plays as the window's buttons do: all (the default), repeat, teaching\n"
               "or practice; render plays teaching and practice once around the score.\n"
               "--range LOW-HIGH (e.g. A2-E4) fits play, render, listen and score to a\n"
               "singer's range: practice climbs within it, other modes move each phrase to\n"
               "where it fits best (whole octaves first).\n"
               "--tempo PERCENT (25-200) plays and judges the phrases at that share of their\n"
               "written tempo, and keeps it with each try.\n"
               "\nEnvironment: TUNWICK_SOUNDFONT names the General MIDI soundfont,\n"
               "TUNWICK_AUDIO_DRIVER the synthesizer's audio driver (pulseaudio, alsa, jack),\n"
               "TUNWICK_MIDI_DEVICE the device opened when none is chosen,\n"
               "TUNWICK_LATENCY_MS a fixed latency of the synthesizer (40 to 1000 ms).\n"
               "\nEvery judged try of listen, score --record and the window is kept in\n"
               "$XDG_DATA_HOME/tunwick/history.sqlite (by default ~/.local/share/tunwick).\n");
  return kExitOk;
}

int Version(const Arguments&, const CommandLineStreams& streams) {
  std::fprintf(streams.out, "%s %s\n", kProgram, TUNWICK_VERSION);
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
    if (command.argumentCount != kOptionsChecked &&
        static_cast<int>(arguments.size()) != command.argumentCount)
      return Usage(streams, command.name, command.arguments);
    return command.run(arguments, streams);
  }
  std::fprintf(streams.err, "%s: unknown command '%s' (try '%s --help')\n", kProgram, name.c_str(),
               kProgram);
  return kExitUsage;
}
