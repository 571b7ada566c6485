#include "cli/HeadlessSession.h"

#include "midi/MidiOutDevice.h"

CHeadlessSession::CHeadlessSession(const HeadlessMachine& machine)
    : device_(machine.makeDevice ? machine.makeDevice() : std::make_unique<CMIDIOutDevice>()),
      clock_(machine.clock != nullptr ? *machine.clock : steadyClock_),
      platform_(*device_, clock_),
      player_(platform_) {}

CHeadlessSession::~CHeadlessSession() = default;

bool CHeadlessSession::Load(const std::string& path, const std::string& text,
                            const CommandLineStreams& streams) {
  return LoadScore(path, text, player_, platform_.messages, streams);
}

void CHeadlessSession::WatchInterrupts() {
  watcher_ = std::make_unique<CInterruptWatcher>([this] { platform_.Stop(); });
}

bool CHeadlessSession::OpenDevice(long index, const CommandLineStreams& streams) {
  try {
    if (index < 0) {
      device_->Open();
    } else {
      device_->Open(static_cast<int>(index));
    }
  } catch (const midi::CMIDIOutException& error) {
    std::fprintf(streams.err, "%s: cannot open the MIDI output device: %s\n", kProgram,
                 error.what());
    return false;
  }
  return true;
}

void CHeadlessSession::Run(const std::function<void()>& start,
                           const std::function<void()>& afterTick) {
  shownBefore_ = platform_.messages.size();
  start();
  platform_.Run(player_, afterTick);
  interrupted_ = platform_.Stopped();
  platform_.CloseDevice();
}

int CHeadlessSession::Outcome(const CommandLineStreams& streams) const {
  if (platform_.messages.size() > shownBefore_) {
    ReportShown(platform_.messages, shownBefore_, streams);
    return kExitFailure;
  }
  if (interrupted_) {
    std::fprintf(streams.out, "Stopped.\n");
    return kExitInterrupted;
  }
  return kExitOk;
}
