#pragma once

// A MIDI port that records what the device does with it, in one log shared with the test
// (and with the device's worker hooks), so that the order of events can be checked.

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

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
  void PlayCue(std::vector<float> stereoSamples) override {
    Log("cue " + std::to_string(stereoSamples.size() / 2));
  }

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
