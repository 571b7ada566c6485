#pragma once

// A MIDI port that records what the device does with it, in one log shared with the test
// (and with the device's worker hooks), so that the order of events can be checked.

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "audio/DesktopCue.h"
#include "midi/MidiPort.h"

namespace miditest {

class EventLog {
 public:
  void Add(std::string entry) {
    std::lock_guard<std::mutex> hold(lock_);
    entries_.push_back(std::move(entry));
    changed_.notify_all();
  }
  std::vector<std::string> Entries() const {
    std::lock_guard<std::mutex> hold(lock_);
    return entries_;
  }
  // Waits until entry has been logged count times; the limit only guards against a hang.
  bool WaitFor(const std::string& entry, size_t count = 1) {
    std::unique_lock<std::mutex> hold(lock_);
    return changed_.wait_for(hold, std::chrono::seconds(30), [&] {
      size_t seen = 0;
      for (const std::string& e : entries_) seen += e == entry;
      return seen >= count;
    });
  }

 private:
  mutable std::mutex lock_;
  std::condition_variable changed_;
  std::vector<std::string> entries_;
};

struct FakePortSetup {
  std::string openError;    // non-empty: Open fails with this text
  std::string sendError;    // non-empty: every send fails with this text
  int audioSampleRate = 0;  // 0: a port without audio output
};

// The desktop's sound server as the device sees it, for a port without audio output.
class CFakeDesktopCue : public audio::DesktopCue {
 public:
  explicit CFakeDesktopCue(EventLog& log) : log_(log) {}
  int SampleRate() const override { return 48000; }
  void Start(std::vector<float> stereoSamples) override {
    log_.Add("desktop cue " + std::to_string(stereoSamples.size() / 2));
  }
  void Stop() override { log_.Add("desktop stop cue"); }

 private:
  EventLog& log_;
};

class CFakePort : public midi::MidiPort {
 public:
  CFakePort(EventLog& log, int id, FakePortSetup setup) : log_(log), id_(id), setup_(setup) {}

  bool Open(midi::MidiPortCallback callback, void* instance) override {
    Log("open");
    callback_ = callback;
    instance_ = instance;
    return setup_.openError.empty();
  }
  bool SendShortMessage(uint32_t message) override {
    char text[32];
    std::snprintf(text, sizeof text, "send %06X", message);
    Log(text);
    return setup_.sendError.empty();
  }
  void SetVolume(uint32_t volume) override {
    char text[32];
    std::snprintf(text, sizeof text, "volume %08X", volume);
    Log(text);
  }
  void UnprepareHeader(midi::MidiHeader* header) override {
    Log("unprepare " + std::to_string(header->bytes[0]));
  }
  void Close() override { Log("close"); }
  std::string ErrorText() const override {
    return !setup_.openError.empty() ? setup_.openError : setup_.sendError;
  }
  int AudioSampleRate() const override { return setup_.audioSampleRate; }
  void StartCue(std::vector<float> stereoSamples,
                std::chrono::steady_clock::time_point due) override {
    lastCueDue = due;
    Log("start cue " + std::to_string(stereoSamples.size() / 2));
  }
  void StopCue() override { Log("stop cue"); }

  std::chrono::steady_clock::time_point lastCueDue;

  // What the port's own thread does when it has finished with something.
  void Notify(uint32_t message) { callback_(this, message, instance_, 0, 0); }

 private:
  void Log(const std::string& what) { log_.Add("port" + std::to_string(id_) + " " + what); }

  EventLog& log_;
  int id_;
  FakePortSetup setup_;
  midi::MidiPortCallback callback_ = nullptr;
  void* instance_ = nullptr;
};

}  // namespace miditest
