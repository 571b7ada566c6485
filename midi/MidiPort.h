#pragma once

// The one interface every MIDI output backend implements: the embedded synthesizer, the
// ALSA sequencer's ports, and the tests' fakes.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace midi {

class CNoteStartLog;
class MidiPort;

// Port notification: a long message has been played and its header may be released.
constexpr uint32_t kMomDone = 0x3C9;

// Called by a port on its own thread with a notification code, the instance value given to
// Open and two message parameters.
using MidiPortCallback = void (*)(MidiPort* port, uint32_t message, void* instance,
                                  uintptr_t param1, uintptr_t param2);

// A long-message header, 64 bytes as the ports expect them.
struct MidiHeader {
  unsigned char bytes[64] = {};
};
static_assert(sizeof(MidiHeader) == 64, "a long-message header is 64 bytes");

class MidiPort {
 public:
  virtual ~MidiPort() = default;

  // Opens the port; false on failure, with ErrorText() saying why. The callback may be
  // called from any thread until Close() returns.
  virtual bool Open(MidiPortCallback callback, void* instance) = 0;
  // Sends one packed short message (status in bits 0-7); false when the port refuses it.
  virtual bool SendShortMessage(uint32_t message) = 0;
  // Sends a message that is heard at `due` plus OutputLatencyMs(). A port that takes no
  // timestamps sends it at once.
  virtual bool SendShortMessageAt(uint32_t message, std::chrono::steady_clock::time_point) {
    return SendShortMessage(message);
  }
  // Milliseconds from a message's due time to when it is heard; 0 for ports that send at once.
  virtual int32_t OutputLatencyMs() const { return 0; }
  // Output level: low word the left (or only) channel, high word the right.
  virtual void SetVolume(uint32_t volume) = 0;
  // Releases a long-message header the port has finished with.
  virtual void UnprepareHeader(MidiHeader* /*header*/) {}
  virtual void Close() = 0;
  // The latest failure's text.
  virtual std::string ErrorText() const = 0;

  // The sample rate of the port's audio output, 0 when it has none (a MIDI port).
  virtual int AudioSampleRate() const { return 0; }
  // Starts interleaved stereo samples at AudioSampleRate() through the port's audio output,
  // heard at `due` plus OutputLatencyMs(). Never waits. Nothing happens without an output.
  virtual void StartCue(std::vector<float> /*stereoSamples*/,
                        std::chrono::steady_clock::time_point /*due*/) {}
  // Silences the cue. Safe from any thread while the port is open.
  virtual void StopCue() {}
  // For timing measurements: records every note-on the port's synthesizer starts in log, until
  // set to nullptr or the port is closed. Ports without a synthesizer ignore it.
  virtual void SetNoteStartLog(CNoteStartLog* /*log*/) {}
};

// One kind of port, as listed in the device table.
struct PortBackend {
  const char* kind;                                    // "synthesizer" or "ALSA port"
  std::vector<std::string> (*listPorts)();             // the names of its ports right now
  std::unique_ptr<MidiPort> (*createPort)(int index);  // index among its own ports
};

// The backends in order of preference; device numbers count through them in this order.
const std::vector<PortBackend>& PortBackends();

// Creates the port for device number deviceIndex, or nullptr when there is no such device.
std::unique_ptr<MidiPort> CreateMidiPort(int deviceIndex);

}  // namespace midi
