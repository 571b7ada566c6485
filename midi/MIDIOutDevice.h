#pragma once

// Public surface of the MIDI output layer, as the player's platforms and the window use it.
// (The MIDI output helper fills in the private parts and the port interface.)

#include <cstdint>
#include <string>
#include <vector>

#include "midi/MIDIOutException.h"

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

}  // namespace midi

class CMIDIOutDevice {
 public:
  CMIDIOutDevice();   // throws midi::CMIDIOutEventFailure
  ~CMIDIOutDevice();

  void Open();                 // device TUNWICK_MIDI_DEVICE, else 0; throws CMIDIOutException
  void Open(int deviceIndex);  // throws CMIDIOutException
  void Close();
  void SendShortMessage(uint32_t message);  // only while Opened; throws CMIDIOutException
  void SetVolume(uint32_t volume);          // no effect unless Opened
  bool IsOpened() const;

  // Plays the cue sound synchronously through this device's audio output; returns at once
  // when there is none.
  void PlayCueSound(const char* name);
};
