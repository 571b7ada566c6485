// Measures how long the machine stops running a thread that wants to run: one thread per core,
// pinned to it and at real-time priority where the system allows, sleeps 1 ms again and again
// and records how much later than asked it wakes. A stop that no priority can avoid (a
// virtual machine's host running something else) shows on every core at once; that is what
// an audio buffer has to outlast.
//
//   tunwick_stall_probe SECONDS
//
// Prints, for each core, the wake-ups late by 5 ms or more in classes, and the longest stops
// with their monotonic times; then the stops seen on every core at once.

#include <pthread.h>
#include <sched.h>
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

constexpr int64_t kMs = 1000000;
constexpr int64_t kReportedNs = 5 * kMs;

int64_t NowNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000000000LL + now.tv_nsec;
}

struct Stop {
  int64_t startNs;
  int64_t lateNs;
};

// Sleeps 1 ms at a time on one core until endNs; returns the wake-ups at least kReportedNs late.
std::vector<Stop> Watch(int core, int64_t endNs) {
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(core, &set);
  pthread_setaffinity_np(pthread_self(), sizeof(set), &set);
  sched_param priority{};
  priority.sched_priority = 50;
  pthread_setschedparam(pthread_self(), SCHED_FIFO, &priority);  // else at normal priority
  std::vector<Stop> stops;
  const timespec interval{0, 1 * kMs};
  for (int64_t before = NowNs(); before < endNs; before = NowNs()) {
    nanosleep(&interval, nullptr);
    const int64_t late = NowNs() - before - kMs;
    if (late >= kReportedNs) stops.push_back({before, late});
  }
  return stops;
}

bool Overlap(const Stop& a, const Stop& b) {
  return a.startNs < b.startNs + b.lateNs && b.startNs < a.startNs + a.lateNs;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc == 2 ? std::atoi(argv[1]) : 0;
  if (seconds <= 0) {
    std::fprintf(stderr, "usage: tunwick_stall_probe SECONDS\n");
    return 2;
  }
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  const int64_t end = NowNs() + seconds * 1000000000LL;
  std::vector<std::vector<Stop>> stops(static_cast<size_t>(cores));
  std::vector<std::thread> watchers;
  for (int core = 0; core < cores; ++core)
    watchers.emplace_back(
        [&stops, core, end] { stops[static_cast<size_t>(core)] = Watch(core, end); });
  for (std::thread& watcher : watchers) watcher.join();

  const int64_t bounds[] = {5, 10, 20, 50, 100};
  for (int core = 0; core < cores; ++core) {
    std::vector<Stop>& own = stops[static_cast<size_t>(core)];
    int counts[5] = {};
    for (const Stop& stop : own)
      for (int k = 4; k >= 0; --k)
        if (stop.lateNs >= bounds[k] * kMs) {
          ++counts[k];
          break;
        }
    std::sort(own.begin(), own.end(),
              [](const Stop& a, const Stop& b) { return a.lateNs > b.lateNs; });
    std::printf(
        "core %d: late 5-10 ms %d, 10-20 ms %d, 20-50 ms %d, 50-100 ms %d, 100 ms+ %d;"
        " longest:",
        core, counts[0], counts[1], counts[2], counts[3], counts[4]);
    for (size_t i = 0; i < std::min<size_t>(own.size(), 5); ++i)
      std::printf(" %.1f ms", own[i].lateNs / 1e6);
    std::printf("\n");
  }
  // A stop of core 0 that every other core shared: the whole machine stood still.
  std::vector<Stop> together;
  for (const Stop& stop : stops[0]) {
    bool everywhere = true;
    for (int core = 1; core < cores && everywhere; ++core)
      everywhere = std::any_of(stops[static_cast<size_t>(core)].begin(),
                               stops[static_cast<size_t>(core)].end(),
                               [&stop](const Stop& other) { return Overlap(stop, other); });
    if (everywhere && stop.lateNs >= 20 * kMs) together.push_back(stop);
  }
  std::printf("every core at once, 20 ms or more: %zu;", together.size());
  for (size_t i = 0; i < std::min<size_t>(together.size(), 5); ++i)
    std::printf(" %.1f ms", together[i].lateNs / 1e6);
  std::printf("\n");
  return 0;
}
