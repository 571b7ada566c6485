#pragma once

#include <functional>
#include <memory>

#include "capture/AudioCapture.h"
#include "cli/CommandLine.h"
#include "cli/CommandLineSupport.h"

class CMIDIOutDevice;
class PlayClock;

// `tunwick listen`: the sing-back exercise in the terminal. Each phrase plays, the cue
// sounds, the learner sings it back into the default input; the pitch is shown live and a
// table after each try.

extern const char kListenArguments[];

// Where the learner's voice comes from.
class SoundInput {
 public:
  virtual ~SoundInput() = default;
  // Starts sending blocks to `sink` on another thread and returns their sample rate; throws
  // capture::CAudioCaptureError when no input can be opened. Stops when destroyed.
  virtual unsigned Start(capture::CAudioCapture::BlockSink sink) = 0;
};

// What `listen` takes from the machine; empty members mean the real devices and clock.
struct ListenMachine {
  std::function<std::unique_ptr<CMIDIOutDevice>()> makeDevice;
  PlayClock* clock = nullptr;
  std::function<std::unique_ptr<SoundInput>()> makeInput;
};

int RunListenCommand(const Arguments& arguments, const CommandLineStreams& streams,
                     const ListenMachine& machine = {});
