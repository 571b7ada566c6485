#pragma once

#include <functional>
#include <memory>
#include <string>

#include "cli/CommandSupport.h"
#include "cli/HeadlessPlatform.h"
#include "cli/InterruptWatcher.h"
#include "cli/PlayClock.h"
#include "playback/Player.h"

class CMIDIOutDevice;

// What a real-time command takes from the machine; empty members mean the real device table
// and the steady clock.
struct HeadlessMachine {
  std::function<std::unique_ptr<CMIDIOutDevice>()> makeDevice;
  PlayClock* clock = nullptr;
};

// A real-time command's player on the MIDI device and the clock, without a window: load,
// watch for Ctrl-C, open the device, run, and the exit status from how it went.
class CHeadlessSession {
 public:
  explicit CHeadlessSession(const HeadlessMachine& machine);
  ~CHeadlessSession();
  CHeadlessSession(const CHeadlessSession&) = delete;
  CHeadlessSession& operator=(const CHeadlessSession&) = delete;

  // Loads the score without playing it; false after reporting why not.
  bool Load(const std::string& path, const std::string& text, const CommandLineStreams& streams);
  // From here on Ctrl-C stops playback. Call it before anything starts a thread (the device,
  // the microphone), so that those leave the signal to the watcher.
  void WatchInterrupts();
  // Opens device `index`, or the default one for -1; false after reporting why not.
  bool OpenDevice(long index, const CommandLineStreams& streams);
  // Starts playback with `start`, ticks the player until it ends or Ctrl-C stops it (calling
  // `afterTick` after each tick), then closes the device.
  void Run(const std::function<void()>& start, const std::function<void()>& afterTick = {});
  // After Run: kExitFailure after reporting what the player showed while it ran,
  // kExitInterrupted after "Stopped.", else kExitOk.
  int Outcome(const CommandLineStreams& streams) const;

  CPlayer& Player() { return player_; }
  CHeadlessPlatform& Platform() { return platform_; }
  PlayClock& Clock() { return clock_; }

 private:
  std::unique_ptr<CMIDIOutDevice> device_;
  CSteadyPlayClock steadyClock_;
  PlayClock& clock_;
  CHeadlessPlatform platform_;
  CPlayer player_;
  std::unique_ptr<CInterruptWatcher> watcher_;
  size_t shownBefore_ = 0;
  bool interrupted_ = false;
};
