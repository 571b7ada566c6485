#include "midi/MidiOutDevice.h"

#include <cerrno>
#include <cstdlib>
#include <system_error>

#include "audio/CueSound.h"
#include "midi/SynthEngine.h"

namespace {

// TUNWICK_MIDI_DEVICE as a device number; 0 when it is not set.
int ChosenDevice() {
  const char* text = std::getenv("TUNWICK_MIDI_DEVICE");
  if (text == nullptr || *text == '\0') return 0;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || value < 0 || value > 0x7FFFFFFF)
    throw midi::CMIDIOutException("TUNWICK_MIDI_DEVICE is not a device number.");
  return static_cast<int>(value);
}

}  // namespace

CMIDIOutDevice::CMIDIOutDevice() : CMIDIOutDevice(&midi::CreateMidiPort) {}

CMIDIOutDevice::CMIDIOutDevice(midi::PortFactory factory, midi::HeaderWorkerHooks hooks,
                               audio::DesktopCueFactory desktopCue)
    : factory_(std::move(factory)),
      hooks_(std::move(hooks)),
      desktopCueFactory_(std::move(desktopCue)) {}

CMIDIOutDevice::~CMIDIOutDevice() { CloseSequence(); }

void CMIDIOutDevice::Open() { Open(ChosenDevice()); }

void CMIDIOutDevice::Open(int deviceIndex) {
  CloseSequence();
  std::unique_ptr<midi::MidiPort> port = factory_ ? factory_(deviceIndex) : nullptr;
  if (!port) throw midi::CMIDIOutException("The specified MIDI output device does not exist.");
  if (!port->Open(&CMIDIOutDevice::OutputCallback, this))
    throw midi::CMIDIOutException(port->ErrorText().c_str());

  handle = std::move(port);
  // Opened before the worker starts: the worker ends at once if it is not.
  state = kOpened;
  handle->SetVolume(0x0000FFFF);
  try {
    worker = std::thread(&CMIDIOutDevice::HeaderWorker, this);
  } catch (const std::system_error& e) {
    state = kClosed;
    handle->Close();
    handle.reset();
    throw midi::CMIDIOutException(e.what());
  }
  // A port without audio output of its own has its cue played by the sound server; where
  // there is none, the cue is silent but still takes its time.
  if (handle->AudioSampleRate() <= 0 && desktopCueFactory_) desktopCue_ = desktopCueFactory_();
}

void CMIDIOutDevice::Close() { CloseSequence(); }

void CMIDIOutDevice::CloseSequence() {
  if (state != kOpened) return;
  // Closed before the wake-up, so that the worker ends instead of releasing a header; the
  // port is closed only once the worker has ended and every header is released.
  state = kClosed;
  doneEvent.Set();
  if (worker.joinable()) worker.join();
  pending.ReleaseAll();
  desktopCue_.reset();
  handle->Close();
  handle.reset();
}

void CMIDIOutDevice::SendShortMessage(uint32_t message) {
  if (state != kOpened) return;
  if (!handle->SendShortMessage(message))
    throw midi::CMIDIOutException(handle->ErrorText().c_str());
}

void CMIDIOutDevice::SetVolume(uint32_t volume) {
  if (state == kOpened) handle->SetVolume(volume);
}

bool CMIDIOutDevice::IsOpened() const { return state == kOpened; }

void CMIDIOutDevice::SendShortMessageAt(uint32_t message,
                                        std::chrono::steady_clock::time_point due) {
  if (state != kOpened) return;
  if (!handle->SendShortMessageAt(message, due))
    throw midi::CMIDIOutException(handle->ErrorText().c_str());
}

int32_t CMIDIOutDevice::OutputLatencyMs() const {
  return state == kOpened ? handle->OutputLatencyMs() : 0;
}

int32_t CMIDIOutDevice::StartCueSound(const char* name, std::chrono::steady_clock::time_point due) {
  const int portRate = state == kOpened ? handle->AudioSampleRate() : 0;
  const int rate = portRate > 0  ? portRate
                   : desktopCue_ ? desktopCue_->SampleRate()
                                 : midi::CSynthEngine::kSampleRate;
  const std::string cue = name != nullptr ? name : "";
  const std::vector<float>& samples = cues_.Samples(cue, rate);
  if (portRate > 0)
    handle->StartCue(samples, due);
  else if (desktopCue_)
    desktopCue_->Start(samples);
  return cues_.LengthMs(cue, rate);
}

void CMIDIOutDevice::StopCueSound() {
  if (state != kOpened) return;
  handle->StopCue();
  if (desktopCue_) desktopCue_->Stop();
}

void CMIDIOutDevice::SetNoteStartLog(midi::CNoteStartLog* log) {
  if (state == kOpened) handle->SetNoteStartLog(log);
}

void CMIDIOutDevice::AdoptPendingHeader(std::unique_ptr<midi::PendingHeader> record) {
  pending.Push(std::move(record));
}

void CMIDIOutDevice::OutputCallback(midi::MidiPort*, uint32_t message, void* instance, uintptr_t,
                                    uintptr_t) {
  // Runs on the port's thread: only wake the worker.
  if (message == midi::kMomDone) static_cast<CMIDIOutDevice*>(instance)->doneEvent.Set();
}

int CMIDIOutDevice::HeaderWorker(CMIDIOutDevice* device) {
  while (device->state == kOpened) {
    device->doneEvent.Wait();
    if (device->state != kOpened) break;
    // One wake-up per finished long message: release at most one header.
    const bool released = device->pending.ReleaseFront();
    if (device->hooks_.onWake) device->hooks_.onWake(released);
  }
  if (device->hooks_.onExit) device->hooks_.onExit();
  return 0;
}
