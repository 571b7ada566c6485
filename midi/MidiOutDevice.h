#pragma once

// Public surface of the MIDI output layer, as the player's platforms and the window use it.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audio/CueSound.h"
#include "audio/DesktopCue.h"
#include "midi/AutoResetEvent.h"
#include "midi/MidiOutException.h"
#include "midi/MidiPort.h"
#include "midi/PendingHeaderQueue.h"

namespace midi {

struct MidiOutDeviceInfo {
  int index = 0;
  std::string name;
  std::string kind;  // "synthesizer" or "ALSA port"
};

// Devices in the order they are opened by number: the embedded synthesizer first (when a
// soundfont is found), then the ALSA sequencer's output ports.
std::vector<MidiOutDeviceInfo> ListMidiOutDevices();
// How many devices there are (0 when there is neither a soundfont nor a port).
int MidiOutDeviceCount();

// Makes the port for a device number, or nullptr when there is no such device.
using PortFactory = std::function<std::unique_ptr<MidiPort>(int deviceIndex)>;

// Called on the worker thread: after each wake-up that found the device still open (with
// whether a header was released), and when the worker is about to end.
struct HeaderWorkerHooks {
  std::function<void(bool released)> onWake;
  std::function<void()> onExit;
};

}  // namespace midi

class CMIDIOutDevice {
 public:
  static constexpr int32_t kClosed = 0;
  static constexpr int32_t kOpened = 1;

  CMIDIOutDevice();  // the real device table
  // desktopCue plays the cue for a port without audio output; by default a stream of the
  // desktop's sound server.
  explicit CMIDIOutDevice(midi::PortFactory factory, midi::HeaderWorkerHooks hooks = {},
                          audio::DesktopCueFactory desktopCue = &audio::OpenDesktopCue);
  ~CMIDIOutDevice();
  CMIDIOutDevice(const CMIDIOutDevice&) = delete;
  CMIDIOutDevice& operator=(const CMIDIOutDevice&) = delete;

  void Open();                 // device TUNWICK_MIDI_DEVICE, else 0; throws CMIDIOutException
  void Open(int deviceIndex);  // throws CMIDIOutException
  void Close();
  void SendShortMessage(uint32_t message);  // only while Opened; throws CMIDIOutException
  // Sends a short message that sounds at `due` plus OutputLatencyMs(), to the sample, however
  // late the call comes; a port that takes no timestamps sends it at once. Only while Opened;
  // throws CMIDIOutException.
  void SendShortMessageAt(uint32_t message, std::chrono::steady_clock::time_point due);
  // Milliseconds from a message's due time to when it is heard; 0 for ports that send at once.
  int32_t OutputLatencyMs() const;
  void SetVolume(uint32_t volume);  // no effect unless Opened
  bool IsOpened() const;

  // Starts the named cue sound so that it is heard at `due` plus OutputLatencyMs(): through the
  // device's own audio output, or through the desktop's sound server by itself where the
  // device has none (there as soon as it can). Never waits; returns the cue's length in
  // milliseconds (rounded up), heard or not, opened or not.
  int32_t StartCueSound(const char* name, std::chrono::steady_clock::time_point due);
  // Silences the cue that is playing. Safe from another thread (an interrupt); the caller
  // keeps Open and Close from running meanwhile.
  void StopCueSound();

  // For timing measurements: records every note-on the synthesizer starts (its due time, the
  // frame it was meant for and the frame it starts at) in log, until set to nullptr or the
  // device is closed. Only while Opened; other ports ignore it.
  void SetNoteStartLog(midi::CNoteStartLog* log);

  // Hands a long message's header over for release once the port reports it done: the last
  // step of sending a long message.
  void AdoptPendingHeader(std::unique_ptr<midi::PendingHeader> record);

 private:
  static void OutputCallback(midi::MidiPort* port, uint32_t message, void* instance,
                             uintptr_t param1, uintptr_t param2);
  static int HeaderWorker(CMIDIOutDevice* device);
  void CloseSequence();

  std::unique_ptr<midi::MidiPort> handle;  // the open port
  midi::CAutoResetEvent doneEvent;
  std::thread worker;
  midi::PendingHeaderQueue pending;
  std::atomic<int32_t> state{kClosed};

  midi::PortFactory factory_;
  midi::HeaderWorkerHooks hooks_;
  audio::DesktopCueFactory desktopCueFactory_;
  std::unique_ptr<audio::DesktopCue> desktopCue_;  // while a port without audio is open
  audio::CCueCache cues_;
};
