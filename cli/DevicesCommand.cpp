#include <cstdio>
#include <vector>

#include "cli/Commands.h"
#include "midi/MidiOutDevice.h"

int RunDevicesCommand(const CommandLineStreams& streams) {
  const std::vector<midi::MidiOutDeviceInfo> devices = midi::ListMidiOutDevices();
  if (devices.empty()) {
    std::fprintf(streams.err, "No MIDI output devices available.\n");
    return kExitFailure;
  }
  for (const midi::MidiOutDeviceInfo& device : devices)
    std::fprintf(streams.out, "%d  %s  (%s)\n", device.index, device.name.c_str(),
                 device.kind.c_str());
  return kExitOk;
}
