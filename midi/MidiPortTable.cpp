#include "midi/AlsaPort.h"
#include "midi/MidiOutDevice.h"
#include "midi/MidiPort.h"
#include "midi/SynthPort.h"

namespace midi {

const std::vector<PortBackend>& PortBackends() {
  static const std::vector<PortBackend> kBackends = {
      {"synthesizer", &SynthPortNames, &CreateSynthPort},
      {"ALSA port", &AlsaPortNames, &CreateAlsaPort},
  };
  return kBackends;
}

std::unique_ptr<MidiPort> CreateMidiPort(int deviceIndex) {
  if (deviceIndex < 0) return nullptr;
  int first = 0;
  for (const PortBackend& backend : PortBackends()) {
    const int count = static_cast<int>(backend.listPorts().size());
    if (deviceIndex < first + count) return backend.createPort(deviceIndex - first);
    first += count;
  }
  return nullptr;
}

std::vector<MidiOutDeviceInfo> ListMidiOutDevices() {
  std::vector<MidiOutDeviceInfo> devices;
  for (const PortBackend& backend : PortBackends()) {
    for (const std::string& name : backend.listPorts()) {
      MidiOutDeviceInfo info;
      info.index = static_cast<int>(devices.size());
      info.name = name;
      info.kind = backend.kind;
      devices.push_back(std::move(info));
    }
  }
  return devices;
}

int MidiOutDeviceCount() {
  int count = 0;
  for (const PortBackend& backend : PortBackends())
    count += static_cast<int>(backend.listPorts().size());
  return count;
}

}  // namespace midi
