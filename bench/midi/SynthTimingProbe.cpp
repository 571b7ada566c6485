// Measures where the synthesizer places notes sent with their due times, live, through the
// real device (device 0, or TUNWICK_MIDI_DEVICE): a schedule of note-ons is sent from a 10 ms
// tick as the player sends it (each note on the first tick at or after its due time, so up to
// a tick late; the tick is 10.3 ms by default so that the lateness takes every value up to a
// tick), and the synthesizer's note start log tells at which frame of its stream each
// note starts against the frame its due time maps to. Writes the schedule as a MIDI file and
// prints the steady-clock origin of its time 0, so that a capture of the sound server's output
// can be matched to it (bench/tools' sound probe: analyse --midi FILE --origin NS).
//
//   tunwick_synth_timing [--notes N] [--tick-us MICROSECONDS] [--midi OUT.mid] [--log OUT.txt]
//
// --log writes the note start log: per note its message, due time (ns), wanted frame and start
// frame.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "midi/MidiFileWriter.h"
#include "midi/MidiOutDevice.h"
#include "midi/NoteStartLog.h"
#include "playback/EventTimeline.h"

namespace {

using Clock = std::chrono::steady_clock;

int64_t Ns(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

// The value below which the given share of values lie (values sorted).
double Quantile(const std::vector<double>& sorted, double share) {
  if (sorted.empty()) return 0;
  const size_t index = static_cast<size_t>(std::ceil(share * sorted.size())) - 1;
  return sorted[std::min(index, sorted.size() - 1)];
}

void Report(const char* what, std::vector<double> values) {
  std::sort(values.begin(), values.end());
  if (values.empty()) return;
  std::printf("%-34s min %7.3f  p50 %7.3f  p99 %7.3f  max %7.3f ms\n", what, values.front(),
              Quantile(values, 0.5), Quantile(values, 0.99), values.back());
}

}  // namespace

int main(int argc, char** argv) {
  int notes = 200;
  int tickUs = 10300;
  std::string midiPath;
  std::string logPath;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--notes") == 0)
      notes = std::atoi(argv[i + 1]);
    else if (std::strcmp(argv[i], "--tick-us") == 0)
      tickUs = std::atoi(argv[i + 1]);
    else if (std::strcmp(argv[i], "--midi") == 0)
      midiPath = argv[i + 1];
    else if (std::strcmp(argv[i], "--log") == 0)
      logPath = argv[i + 1];
  }

  // Steps of several lengths, so that the due times fall on every phase of the synthesizer's
  // blocks; multiples of 25 ms, which the MIDI file holds exactly.
  const int steps[] = {325, 250, 125, 500, 175, 200, 75};
  std::vector<NoteEvent> schedule;
  int32_t time = 0;
  for (int i = 0; i < notes; ++i) {
    schedule.push_back({60 + (i * 5) % 13, time});
    time += steps[i % (sizeof steps / sizeof steps[0])];
  }
  if (!midiPath.empty()) midi::WriteMidiFile(midiPath, midi::MidiFileBytes(schedule.data(), notes));

  CMIDIOutDevice device;
  try {
    device.Open();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tunwick_synth_timing: %s\n", e.what());
    return 2;
  }
  midi::CNoteStartLog log;
  device.SetNoteStartLog(&log);
  const int latencyMs = device.OutputLatencyMs();

  const Clock::time_point origin = Clock::now() + std::chrono::milliseconds(50);
  std::printf("origin %lld\nlatency %d ms\n", static_cast<long long>(Ns(origin)), latencyMs);
  std::fflush(stdout);
  std::vector<double> lateness;
  size_t next = 0;
  for (Clock::time_point tick = origin; next < schedule.size();
       tick += std::chrono::microseconds(tickUs)) {
    std::this_thread::sleep_until(tick);
    const Clock::time_point now = Clock::now();
    while (next < schedule.size() &&
           origin + std::chrono::milliseconds(schedule[next].timeMs) <= now) {
      const Clock::time_point due = origin + std::chrono::milliseconds(schedule[next].timeMs);
      device.SendShortMessageAt(0x7F0090u | (static_cast<uint32_t>(schedule[next].pitch) << 8),
                                due);
      lateness.push_back(std::chrono::duration<double, std::milli>(Clock::now() - due).count());
      ++next;
    }
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(latencyMs + 1500));

  std::vector<double> offsets;
  std::FILE* logFile = logPath.empty() ? nullptr : std::fopen(logPath.c_str(), "w");
  midi::NoteStart start;
  while (log.Take(start)) {
    offsets.push_back(static_cast<double>(start.startFrame - start.wantedFrame) * 1000.0 / 44100);
    if (logFile != nullptr)
      std::fprintf(logFile, "%06X %lld %lld %lld\n", start.message,
                   static_cast<long long>(start.dueNs), static_cast<long long>(start.wantedFrame),
                   static_cast<long long>(start.startFrame));
  }
  if (logFile != nullptr) std::fclose(logFile);
  device.SetNoteStartLog(nullptr);
  device.Close();
  std::printf("notes sent %d, started %zu, log dropped %llu\n", notes, offsets.size(),
              static_cast<unsigned long long>(log.Dropped()));
  Report("sent after due time", lateness);
  Report("started minus wanted frame", offsets);
  return offsets.size() == static_cast<size_t>(notes) ? 0 : 1;
}
