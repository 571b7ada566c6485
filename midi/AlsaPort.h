#pragma once

#include <memory>
#include <string>
#include <vector>

#include "midi/MidiPort.h"

class RtMidiOut;

namespace midi {

// The ALSA sequencer's output ports, through RtMidi's ALSA API (never its JACK API, whose
// port opening crashes when no JACK server runs). No sequencer means no ports.
std::vector<std::string> AlsaPortNames();
std::unique_ptr<MidiPort> CreateAlsaPort(int index);

class CAlsaPort : public MidiPort {
 public:
  explicit CAlsaPort(int portIndex);
  ~CAlsaPort() override;

  bool Open(MidiPortCallback callback, void* instance) override;
  bool SendShortMessage(uint32_t message) override;
  void SetVolume(uint32_t) override {}  // a MIDI port has no output level of its own
  void Close() override;
  std::string ErrorText() const override { return error_; }

 private:
  int portIndex_;
  std::unique_ptr<RtMidiOut> out_;
  std::string error_;
  bool failed_ = false;
};

}  // namespace midi
