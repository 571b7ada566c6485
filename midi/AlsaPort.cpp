#include "midi/AlsaPort.h"

#include <rtmidi/RtMidi.h>
#include <unistd.h>

#include "audio/AlsaLog.h"
#include "midi/ShortMessage.h"

namespace midi {

namespace {

constexpr const char* kClientName = "Tunwick";

// Without the sequencer device RtMidi would print ALSA's complaint before throwing.
bool SequencerPresent() { return access("/dev/snd/seq", R_OK | W_OK) == 0; }

}  // namespace

std::vector<std::string> AlsaPortNames() {
  std::vector<std::string> names;
  if (!SequencerPresent()) return names;
  audio::SilenceAlsaLibrary();
  try {
    RtMidiOut out(RtMidi::LINUX_ALSA, kClientName);
    const unsigned int count = out.getPortCount();
    for (unsigned int i = 0; i < count; ++i) names.push_back(out.getPortName(i));
  } catch (const RtMidiError&) {
    names.clear();  // no usable sequencer: no ports
  }
  return names;
}

std::unique_ptr<MidiPort> CreateAlsaPort(int index) { return std::make_unique<CAlsaPort>(index); }

CAlsaPort::CAlsaPort(int portIndex) : portIndex_(portIndex) {}

CAlsaPort::~CAlsaPort() { Close(); }

bool CAlsaPort::Open(MidiPortCallback, void*) {
  Close();
  error_.clear();
  failed_ = false;
  if (!SequencerPresent()) {
    error_ = "The ALSA sequencer is not available.";
    return false;
  }
  audio::SilenceAlsaLibrary();
  try {
    out_ = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, kClientName);
  } catch (const RtMidiError& e) {
    error_ = e.getMessage();
    return false;
  }
  // From here on RtMidi reports through this callback instead of printing and throwing.
  out_->setErrorCallback(
      [](RtMidiError::Type type, const std::string& text, void* data) {
        if (type == RtMidiError::WARNING || type == RtMidiError::DEBUG_WARNING) return;
        auto* port = static_cast<CAlsaPort*>(data);
        port->error_ = text;
        port->failed_ = true;
      },
      this);
  if (portIndex_ < 0 || static_cast<unsigned int>(portIndex_) >= out_->getPortCount()) {
    out_.reset();
    error_ = "The MIDI port is no longer there.";
    return false;
  }
  out_->openPort(static_cast<unsigned int>(portIndex_), kClientName);
  if (failed_ || !out_->isPortOpen()) {
    out_.reset();
    if (error_.empty()) error_ = "Unable to open the MIDI port.";
    return false;
  }
  return true;
}

bool CAlsaPort::SendShortMessage(uint32_t message) {
  if (!out_) {
    error_ = "The MIDI port is not open.";
    return false;
  }
  ShortMessageBytes m;
  if (!DecodeShortMessage(message, m)) return true;
  failed_ = false;
  out_->sendMessage(m.bytes, static_cast<size_t>(m.length));
  return !failed_;
}

void CAlsaPort::Close() {
  if (!out_) return;
  out_->closePort();
  out_.reset();
}

}  // namespace midi
