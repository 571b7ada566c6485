// Rhythm of real-time playback without a window: the built-in score played once through the
// steady clock and the timer loop, then the repeat mode for a number of minutes, on a port
// that records when each note-on arrives. Lateness is the arrival against the schedule
// (start tick + the event's time); drift compares the first pass with the last.
//
//   tunwick_rhythm_bench [--minutes M]   (default 10)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "cli/HeadlessPlatform.h"
#include "cli/PlayClock.h"
#include "midi/MidiOutDevice.h"
#include "playback/Player.h"

namespace {

double SteadyMs() {
  return std::chrono::duration<double, std::milli>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

struct Arrival {
  double ms;
  uint32_t message;
};

// Takes every message and notes when it arrived; nothing sounds.
class RecordingPort : public midi::MidiPort {
 public:
  explicit RecordingPort(std::vector<Arrival>& arrivals) : arrivals_(arrivals) {}
  bool Open(midi::MidiPortCallback, void*) override { return true; }
  bool SendShortMessage(uint32_t message) override {
    arrivals_.push_back({SteadyMs(), message});
    return true;
  }
  void SetVolume(uint32_t) override {}
  void Close() override {}
  std::string ErrorText() const override { return {}; }

 private:
  std::vector<Arrival>& arrivals_;
};

struct Pass {
  int32_t startTick;
  size_t firstArrival;
};

struct Run {
  std::vector<Arrival> arrivals;
  std::vector<Pass> passes;
  std::vector<NoteEvent> schedule;  // the whole score's timeline
};

// Notes where each pass starts and which arrival is its first.
class PassRecorder : public PlayerObserver {
 public:
  PassRecorder(const CPlayer& player, Run& run) : player_(player), run_(run) {}
  void OnPlayerNotification(const PlayerNotification& n) override {
    if (n.kind == PlayerNotification::kPassBegins)
      run_.passes.push_back({player_.StartTick(), run_.arrivals.size()});
  }

 private:
  const CPlayer& player_;
  Run& run_;
};

// Plays the built-in score in `mode` for at most `seconds` (all mode ends by itself).
void Play(PlayMode mode, double seconds, Run& run) {
  run.arrivals.reserve(1 << 20);
  CMIDIOutDevice device([&run](int) { return std::make_unique<RecordingPort>(run.arrivals); });
  device.Open(0);
  CSteadyPlayClock clock;
  CHeadlessPlatform platform(device, clock);
  CPlayer player(platform);
  {
    CPlayer::CBuildOnlyScope quietly(player);
    player.LoadAndPlay(kBuiltInScore);
  }
  const EventTimeline& timeline = player.Timeline();
  run.schedule.assign(timeline.events.get(), timeline.events.get() + timeline.count);
  PassRecorder recorder(player, run);
  player.AddObserver(&recorder);

  std::thread stopper([&platform, seconds] {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    platform.Stop();
  });
  if (mode == RepeatMode) {
    player.OnRepeat();
  } else {
    player.OnPlayAll();
  }
  platform.Run(player);
  platform.Stop();
  stopper.join();
  platform.CloseDevice();
}

// A steady-clock time as the player's clock reads it (32-bit milliseconds), the fraction kept.
double OnPlayerClock(double steadyMs) {
  const int64_t whole = static_cast<int64_t>(steadyMs);
  return static_cast<int32_t>(static_cast<uint32_t>(whole)) +
         (steadyMs - static_cast<double>(whole));
}

// Lateness of each note-on of pass p, in milliseconds.
std::vector<double> Lateness(const Run& run, size_t p) {
  std::vector<double> late;
  const size_t end =
      p + 1 < run.passes.size() ? run.passes[p + 1].firstArrival : run.arrivals.size();
  size_t arrival = run.passes[p].firstArrival;
  for (const NoteEvent& event : run.schedule) {
    if (event.pitch <= 0 || event.pitch > 127) continue;  // silent: nothing is sent
    if (arrival >= end) break;
    const double due = static_cast<double>(run.passes[p].startTick) + event.timeMs;
    const double arrived = OnPlayerClock(run.arrivals[arrival].ms);
    late.push_back(arrived - due);
    ++arrival;
  }
  return late;
}

double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t index = std::min(values.size() - 1, static_cast<size_t>(fraction * values.size()));
  return values[index];
}

void Report(const char* name, const std::vector<double>& late) {
  std::printf("%-34s notes %6zu  median %6.2f ms  p99 %6.2f ms  max %6.2f ms\n", name, late.size(),
              Percentile(late, 0.5), Percentile(late, 0.99),
              late.empty() ? 0.0 : *std::max_element(late.begin(), late.end()));
}

}  // namespace

int main(int argc, char** argv) {
  double minutes = 10;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--minutes") == 0) minutes = std::atof(argv[i + 1]);

  Run once;
  Play(PlayAllMode, 60, once);
  std::vector<double> onceLate;
  for (size_t p = 0; p < once.passes.size(); ++p) {
    const std::vector<double> late = Lateness(once, p);
    onceLate.insert(onceLate.end(), late.begin(), late.end());
  }
  Report("built-in score, played once", onceLate);

  Run repeat;
  Play(RepeatMode, minutes * 60, repeat);
  std::vector<double> all;
  // The last pass is usually cut short by the stop; compare complete passes only.
  const size_t complete = repeat.passes.size() > 1 ? repeat.passes.size() - 1 : 0;
  for (size_t p = 0; p < complete; ++p) {
    const std::vector<double> late = Lateness(repeat, p);
    all.insert(all.end(), late.begin(), late.end());
  }
  char name[64];
  std::snprintf(name, sizeof name, "repeat, %.1f min, %zu passes", minutes, complete);
  Report(name, all);
  if (complete >= 2) {
    // Each pass is scheduled from its own start tick. Drift: how much later the same note
    // arrives in the last pass than in the first, the median over the notes.
    const std::vector<double> first = Lateness(repeat, 0);
    const std::vector<double> last = Lateness(repeat, complete - 1);
    std::vector<double> change;
    for (size_t i = 0; i < std::min(first.size(), last.size()); ++i)
      change.push_back(last[i] - first[i]);
    std::printf("drift, first to last pass (same notes): median %+.2f ms, max %+.2f ms\n",
                Percentile(change, 0.5),
                change.empty() ? 0.0 : *std::max_element(change.begin(), change.end()));
  }
  if (std::getenv("TUNWICK_RHYTHM_VERBOSE") != nullptr) {
    const std::vector<double> late = Lateness(once, 0);
    size_t i = 0;
    for (const NoteEvent& event : once.schedule)
      if (event.pitch > 0 && event.pitch <= 127 && i < late.size())
        std::printf("  %6d ms  pitch %3d  late %.2f ms\n", event.timeMs, event.pitch, late[i++]);
  }
  return 0;
}
