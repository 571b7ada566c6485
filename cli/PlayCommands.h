#pragma once

#include <functional>
#include <memory>
#include <string>

#include "cli/CommandLine.h"
#include "cli/CommandLineSupport.h"

class CMIDIOutDevice;
class PlayClock;

// The commands that sound a score without a window: list the devices, play in real time,
// render offline to a WAV file. All drive the one player the window drives.

extern const char kPlayArguments[];
extern const char kRenderArguments[];

int RunDevicesCommand(const CommandLineStreams& streams);

// What `play` takes from the machine; empty members mean the real device table and clock.
struct PlayMachine {
  std::function<std::unique_ptr<CMIDIOutDevice>()> makeDevice;
  PlayClock* clock = nullptr;
};
int RunPlayCommand(const Arguments& arguments, const CommandLineStreams& streams,
                   const PlayMachine& machine = {});

// What `render` takes from the machine: the soundfont ("" finds the system's).
struct RenderMachine {
  std::string soundfont;
};
int RunRenderCommand(const Arguments& arguments, const CommandLineStreams& streams,
                     const RenderMachine& machine = {});
