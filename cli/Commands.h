#pragma once

#include <functional>
#include <memory>
#include <string>

#include "cli/CommandSupport.h"
#include "cli/HeadlessSession.h"
#include "singback/SoundInput.h"

// The commands the dispatcher runs, one file each. Each checks its own arguments and returns
// an exit status; `arguments` are those after the command's name.

extern const char kPlayArguments[];
extern const char kRenderArguments[];
extern const char kScoreArguments[];
extern const char kListenArguments[];
extern const char kProgressArguments[];
extern const char kJianpuArguments[];
extern const char kRangeArguments[];
extern const char kImportArguments[];

// `check FILE`: the phrase count, note count and length of a score.
int RunCheckCommand(const Arguments& arguments, const CommandLineStreams& streams);
// `export FILE OUT.mid`: the score as a Standard MIDI File.
int RunExportCommand(const Arguments& arguments, const CommandLineStreams& streams);
// `import SOURCE OUT.txt`: a song in another format (ABC) as score text, with what the
// notation cannot hold reported by bar; `--list` names the file's tunes.
int RunImportCommand(const Arguments& arguments, const CommandLineStreams& streams);
// `devices`: the MIDI output devices.
int RunDevicesCommand(const CommandLineStreams& streams);

// `jianpu FILE OUT.pdf|OUT.svg|OUT.png [--title TEXT]`: the score in numbered notation on A4
// pages.
int RunJianpuCommand(const Arguments& arguments, const CommandLineStreams& streams);

// `play`: the score in real time through a MIDI output device, as the window's buttons play.
using PlayMachine = HeadlessMachine;
int RunPlayCommand(const Arguments& arguments, const CommandLineStreams& streams,
                   const PlayMachine& machine = {});

// `render`: the score offline into a WAV file. The soundfont: "" finds the system's.
struct RenderMachine {
  std::string soundfont;
};
int RunRenderCommand(const Arguments& arguments, const CommandLineStreams& streams,
                     const RenderMachine& machine = {});

// `score`: judges a recorded take against one phrase, as the sing-back exercise judges a try.
int RunScoreCommand(const Arguments& arguments, const CommandLineStreams& streams);

// `range TAKE.wav [--json]`: the lowest and highest notes held in a take of the range
// exercise.
int RunRangeCommand(const Arguments& arguments, const CommandLineStreams& streams);

// `progress [FILE] [--json]`: the practice history, every score or one score's tries;
// `progress --forget FILE`: removes that score's tries after saying how many go.
int RunProgressCommand(const Arguments& arguments, const CommandLineStreams& streams);
// The absolute path of a score file as the practice history keeps it; "" for standard input.
std::string AbsoluteScorePath(const std::string& path);

// `listen`: the sing-back exercise in the terminal. Each phrase plays, the cue sounds, the
// learner sings it back into the input; the pitch is shown live and a table after each try.
// An empty makeInput means the desktop's default input.
struct ListenMachine : HeadlessMachine {
  std::function<std::unique_ptr<SoundInput>()> makeInput;
};
int RunListenCommand(const Arguments& arguments, const CommandLineStreams& streams,
                     const ListenMachine& machine = {});
