// Measures live playback through a sound server: captures what the server's pipe sink writes,
// time-stamps a player's pass lines, and compares the note onsets heard in the capture with
// the schedule read from a Standard MIDI File. Used by the live playback test and the timing
// benchmark (tests/cli/live-playback-test.sh, bench/cli/live-timing.sh).
//
//   tunwick_sound_probe score                    the built-in score's text
//   tunwick_sound_probe now                      the monotonic clock, in ns
//   tunwick_sound_probe capture FIFO RAW READS   reads FIFO until its writer closes it
//   tunwick_sound_probe stamp                    copies standard input, each line prefixed
//                                                with the monotonic clock in ns
//   tunwick_sound_probe span FILE [FROM]         how long a WAV file or a .raw capture
//                                                sounds from frame FROM on, in seconds
//   tunwick_sound_probe analyse (--capture RAW --reads READS | --wav FILE) --midi FILE
//       --soundfont SF2 (--passes STAMPED [--pass-text TEXT] | --origin NS [--find-first MS])
//       [--follow MS] [--until NS] [--label TEXT] [--notes TABLE]
//       [--jitter-p99 MS] [--jitter-max MS] [--latency-max MS]
//
// The capture is 16-bit stereo at 44.1 kHz. READS holds one line per read of the FIFO: the
// monotonic time after the read, the first frame it returned and the frame after its last.
// The pass starts are the stamped lines holding TEXT ("Whole score", as `tunwick play` shows
// a pass); --origin gives one pass start instead, and with --find-first the first note heard
// within MS of it stands for the schedule (a player that shows no pass start). Each note's
// onset is where its attack, rendered alone with the soundfont, fits the capture best; its
// error is the onset against pass start + the note's time in the MIDI file. Printed: errors,
// latency (median error), jitter (|error - median|) p99 and max, drift from the first pass to
// the last complete one. With limits, exits 1 when one is exceeded or a note is not heard.

#include <fcntl.h>
#include <sndfile.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "bench/tools/CaptureReading.h"
#include "playback/Player.h"
#include "tests/support/AudioAnalysis.h"

namespace {

using namespace soundprobe;

int64_t MonotonicNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int Fail(const std::string& text) {
  std::fprintf(stderr, "tunwick_sound_probe: %s\n", text.c_str());
  return 2;
}

// ---- capture and stamp ----

int Capture(const char* fifoPath, const char* rawPath, const char* readsPath) {
  const int fifo = open(fifoPath, O_RDONLY);
  if (fifo < 0) return Fail(std::string("cannot open ") + fifoPath);
  // A deep pipe, so that a reader held up by the load never makes the sink drop data.
  fcntl(fifo, F_SETPIPE_SZ, 1 << 20);
  std::FILE* raw = std::fopen(rawPath, "wb");
  std::FILE* reads = std::fopen(readsPath, "w");
  if (raw == nullptr || reads == nullptr) return Fail("cannot write the capture files");
  std::vector<char> buffer(1 << 16);
  int64_t bytes = 0;
  for (;;) {
    const ssize_t got = read(fifo, buffer.data(), buffer.size());
    const int64_t now = MonotonicNs();
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    std::fwrite(buffer.data(), 1, static_cast<size_t>(got), raw);
    std::fprintf(reads, "%lld %lld %lld\n", static_cast<long long>(now),
                 static_cast<long long>(bytes / kBytesPerFrame),
                 static_cast<long long>((bytes + got) / kBytesPerFrame));
    bytes += got;
  }
  close(fifo);
  std::fclose(raw);
  std::fclose(reads);
  return 0;
}

int Stamp() {
  char line[4096];
  while (std::fgets(line, sizeof line, stdin) != nullptr) {
    std::printf("%lld %s", static_cast<long long>(MonotonicNs()), line);
    if (std::strchr(line, '\n') == nullptr) std::printf("\n");
    std::fflush(stdout);
  }
  return 0;
}

// ---- analyse ----

struct Options {
  std::string capture, reads, wav, midi, soundfont, passes, passText = "Whole score";
  std::string label = "playback";
  std::string notes;  // where the per-note table goes
  bool hasOrigin = false;
  int64_t originNs = 0, untilNs = INT64_MAX;
  double findFirstMs = 0;
  double followMs = 0;
  double jitterP99 = -1, jitterMax = -1, latencyMax = -1;
};

bool ParseOptions(int argc, char** argv, Options& o, std::string& problem) {
  for (int i = 2; i < argc; i += 2) {
    const std::string name = argv[i];
    if (i + 1 >= argc) {
      problem = name + " needs a value";
      return false;
    }
    const std::string value = argv[i + 1];
    const std::map<std::string, std::string*> texts = {
        {"--capture", &o.capture},    {"--reads", &o.reads},         {"--wav", &o.wav},
        {"--midi", &o.midi},          {"--soundfont", &o.soundfont}, {"--passes", &o.passes},
        {"--pass-text", &o.passText}, {"--label", &o.label},         {"--notes", &o.notes}};
    const std::map<std::string, double*> numbers = {{"--find-first", &o.findFirstMs},
                                                    {"--follow", &o.followMs},
                                                    {"--jitter-p99", &o.jitterP99},
                                                    {"--jitter-max", &o.jitterMax},
                                                    {"--latency-max", &o.latencyMax}};
    if (texts.count(name) != 0) {
      *texts.at(name) = value;
    } else if (numbers.count(name) != 0) {
      *numbers.at(name) = std::atof(value.c_str());
    } else if (name == "--origin") {
      o.hasOrigin = true;
      o.originNs = std::atoll(value.c_str());
    } else if (name == "--until") {
      o.untilNs = std::atoll(value.c_str());
    } else {
      problem = "unknown option " + name;
      return false;
    }
  }
  if ((o.wav.empty() && (o.capture.empty() || o.reads.empty())) || o.midi.empty() ||
      o.soundfont.empty() || (o.passes.empty() && !o.hasOrigin)) {
    problem =
        "analyse needs --capture and --reads (or --wav), --midi, --soundfont, and --passes or "
        "--origin";
    return false;
  }
  return true;
}

// A pass: when its line was stamped, and how many semitones above the schedule it sounds (a
// practice pass's line ends "K semitones up").
struct PassStart {
  int64_t ns = 0;
  int semitones = 0;
};

// Pass starts: the stamps of the lines that hold `text`.
std::vector<PassStart> ReadPassStarts(const std::string& path, const std::string& text) {
  std::ifstream in(path);
  std::vector<PassStart> starts;
  std::string line;
  while (std::getline(in, line)) {
    if (line.find(text) == std::string::npos) continue;
    PassStart start{std::atoll(line.c_str()), 0};
    const size_t up = line.find(" semitone");
    if (up != std::string::npos) {
      const size_t number = line.find_last_of(' ', up - 1);
      start.semitones = std::atoi(line.c_str() + number + 1);
    }
    starts.push_back(start);
  }
  return starts;
}

// The keys of a strike as a pass `semitones` up sounds them.
std::vector<int> Raised(std::vector<int> keys, int semitones) {
  for (int& key : keys) key += semitones;
  return keys;
}

struct Note {
  int pass = 0;
  int index = 0;          // its strike in the schedule
  std::vector<int> keys;  // as sounded
  double dueMs = 0;       // in its pass
  int64_t dueNs = 0;
  double onsetNs = -1;  // -1: no onset found
  double fit = 0;       // correlation of its attack with the capture there
  double errorMs = 0;
};

void WriteTable(std::FILE* table, const std::vector<Note>& notes) {
  std::fprintf(table, "pass note  due(ms)  error(ms)  fit\n");
  for (const Note& note : notes) {
    if (note.onsetNs < 0) {
      std::fprintf(table, "%4d %4d %8.1f   no onset\n", note.pass + 1, note.index + 1, note.dueMs);
    } else {
      std::fprintf(table, "%4d %4d %8.1f %9.2f  %.2f\n", note.pass + 1, note.index + 1, note.dueMs,
                   note.errorMs, note.fit);
    }
  }
}

// Drift: the same notes in the first pass and in the last complete one.
void ReportDrift(const Options& o, const std::vector<Note>& notes, size_t passes, size_t strikes) {
  int last = -1;
  for (size_t p = 1; p < passes; ++p)
    if (static_cast<size_t>(std::count_if(notes.begin(), notes.end(), [p](const Note& n) {
          return n.pass == static_cast<int>(p);
        })) == strikes)
      last = static_cast<int>(p);
  if (last < 0) return;
  std::vector<double> first, final, change;
  for (const Note& a : notes)
    for (const Note& b : notes)
      if (a.pass == 0 && b.pass == last && a.index == b.index && a.onsetNs >= 0 && b.onsetNs >= 0) {
        first.push_back(a.errorMs);
        final.push_back(b.errorMs);
        change.push_back(std::fabs(b.errorMs - a.errorMs));
      }
  std::printf(
      "%s: drift, pass 1 against pass %d: median error %.2f -> %.2f ms; change of a note's "
      "error: median %.2f ms, largest %.2f ms\n",
      o.label.c_str(), last + 1, Median(first), Median(final), Median(change), Largest(change));
}

int Analyse(int argc, char** argv) {
  Options o;
  std::string problem;
  if (!ParseOptions(argc, argv, o, problem)) return Fail(problem);
  const std::vector<Strike> schedule = ReadSchedule(o.midi, problem);
  if (schedule.empty()) return Fail(problem);
  CaptureClock clock;
  if (!o.wav.empty()) {
    // A rendered file: its first frame is time 0.
    SF_INFO info{};
    SNDFILE* file = sf_open(o.wav.c_str(), SFM_READ, &info);
    if (file == nullptr || info.channels != kChannels || info.samplerate != audiotest::kRate)
      return Fail(o.wav + " is no 44.1 kHz stereo sound file");
    sf_close(file);
    clock.Nominal(info.frames);
  } else if (!clock.Read(o.reads)) {
    return Fail("no capture in " + o.reads);
  }
  const std::string recording = o.wav.empty() ? o.capture : o.wav;

  // Each strike's attack, rendered once for each set of keys sounded.
  std::map<std::vector<int>, std::vector<float>> attacks;
  const auto attackOf = [&](const std::vector<int>& keys) -> const std::vector<float>& {
    std::vector<float>& attack = attacks[keys];
    if (attack.empty()) attack = audiotest::RenderAttack(o.soundfont, keys);
    return attack;
  };
  for (const Strike& strike : schedule)
    if (attackOf(strike.keys).empty()) return Fail("cannot render with " + o.soundfont);

  std::vector<PassStart> starts;
  if (o.hasOrigin && o.findFirstMs > 0) {
    // A player whose pass start is unknown: its first note, heard within findFirstMs of the
    // origin, stands for its schedule, so its latency reads 0 and only its jitter counts.
    const int64_t from = clock.FrameAt(o.originNs);
    const int64_t to = clock.FrameAt(o.originNs + o.findFirstMs * 1e6);
    const CaptureSearch opening(recording, !o.wav.empty(), from, to + audiotest::kRate);
    double fit = 0;
    const int64_t heard =
        opening.Find(attackOf(schedule[0].keys), from, to, kFirstNoteFit, true, fit);
    if (heard < 0) return Fail("the first note is not heard within --find-first");
    starts.push_back({static_cast<int64_t>(clock.NsAt(heard) - schedule[0].ms * 1e6), 0});
  } else if (o.hasOrigin) {
    starts.push_back({o.originNs, 0});
  } else {
    starts = ReadPassStarts(o.passes, o.passText);
  }
  if (starts.empty()) return Fail("no pass started");

  // Every note due in the window; a pass cut short keeps the notes it had.
  std::vector<Note> notes;
  for (size_t p = 0; p < starts.size(); ++p)
    for (size_t i = 0; i < schedule.size(); ++i) {
      const int64_t due = starts[p].ns + static_cast<int64_t>(schedule[i].ms * 1e6);
      if (due >= o.untilNs || (p + 1 < starts.size() && due >= starts[p + 1].ns)) break;
      notes.push_back({static_cast<int>(p), static_cast<int>(i),
                       Raised(schedule[i].keys, starts[p].semitones), schedule[i].ms, due});
    }
  if (notes.empty()) return Fail("no note was due in the window");

  // Each note starts where its attack fits the capture best, searched from 20 ms before to
  // 250 ms after its due time, and before the next note is due. With --follow, due times
  // move by the lateness of the notes just before (up to that many ms): a player that falls
  // behind is followed.
  const CaptureSearch search(recording, !o.wav.empty(),
                             clock.FrameAt(notes.front().dueNs) - audiotest::kRate,
                             clock.FrameAt(notes.back().dueNs) + 3 * audiotest::kRate);
  std::vector<double> errors;
  for (size_t k = 0; k < notes.size(); ++k) {
    Note& note = notes[k];
    const std::vector<double> recent(errors.end() - std::min<size_t>(errors.size(), 5),
                                     errors.end());
    const double lateNs = recent.empty() ? 0.0 : std::clamp(Median(recent), 0.0, o.followMs) * 1e6;
    const int64_t due = clock.FrameAt(note.dueNs + lateNs);
    int64_t last = due + 250 * kFramesPerMs;
    if (k + 1 < notes.size()) last = std::min(last, clock.FrameAt(notes[k + 1].dueNs + lateNs));
    const int64_t onset =
        search.Find(attackOf(note.keys), due - 20 * kFramesPerMs, last, kLeastFit, false, note.fit);
    if (onset < 0) continue;
    note.onsetNs = clock.NsAt(static_cast<double>(onset));
    note.errorMs = (note.onsetNs - note.dueNs) / 1e6;
    errors.push_back(note.errorMs);
  }

  const double latency = Median(errors);
  std::vector<double> jitter;
  for (double e : errors) jitter.push_back(std::fabs(e - latency));
  const double jitterP99 = Percentile(jitter, 0.99);
  const double jitterMax = Largest(jitter);
  const size_t missing = notes.size() - errors.size();

  if (!o.notes.empty()) {
    std::FILE* table = std::fopen(o.notes.c_str(), "w");
    if (table == nullptr) return Fail("cannot write " + o.notes);
    WriteTable(table, notes);
    std::fclose(table);
  }
  std::printf(
      "%s: %zu notes in %zu passes, %zu without an onset; error min %.2f ms, max %.2f ms; "
      "latency (median error) %.2f ms; jitter |error - median| p99 %.2f ms, max %.2f ms; "
      "%zu dropouts in the capture\n",
      o.label.c_str(), notes.size(), starts.size(), missing,
      errors.empty() ? 0.0 : *std::min_element(errors.begin(), errors.end()), Largest(errors),
      latency, jitterP99, jitterMax, search.dropouts);
  if (starts.size() > 1) {
    // A pass start is stamped when its line arrives, which a busy machine can delay by a few
    // ms; the spread around each pass's own median error is free of that.
    std::vector<double> within;
    for (size_t p = 0; p < starts.size(); ++p) {
      std::vector<double> pass;
      for (const Note& note : notes)
        if (note.pass == static_cast<int>(p) && note.onsetNs >= 0) pass.push_back(note.errorMs);
      const double median = Median(pass);
      for (double e : pass) within.push_back(std::fabs(e - median));
    }
    std::printf("%s: jitter within a pass |error - the pass's median| p99 %.2f ms, max %.2f ms\n",
                o.label.c_str(), Percentile(within, 0.99), Largest(within));
  }
  ReportDrift(o, notes, starts.size(), schedule.size());

  bool failed = missing > 0;
  if (missing > 0) std::printf("%s: FAIL: %zu notes without an onset\n", o.label.c_str(), missing);
  const auto check = [&](const char* what, double value, double limit) {
    if (limit >= 0 && value > limit) {
      std::printf("%s: FAIL: %s %.2f ms, above %.2f ms\n", o.label.c_str(), what, value, limit);
      failed = true;
    }
  };
  check("jitter p99", jitterP99, o.jitterP99);
  check("jitter max", jitterMax, o.jitterMax);
  check("latency", latency, o.latencyMax);
  return failed ? 1 : 0;
}

// How long a recording sounds from frame `from` on: from its first frame above -50 dBFS to its
// last, in seconds. A WAV file, or a capture (16-bit stereo at 44.1 kHz, no header) when the
// name ends in .raw.
int Span(const std::string& path, int64_t from) {
  SF_INFO info{};
  const bool raw = path.size() > 4 && path.compare(path.size() - 4, 4, ".raw") == 0;
  if (raw) {
    info.format = SF_FORMAT_RAW | SF_FORMAT_PCM_16;
    info.channels = kChannels;
    info.samplerate = audiotest::kRate;
  }
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) return Fail("cannot read " + path);
  const float threshold = std::pow(10.0f, -50.0f / 20.0f);
  std::vector<float> block(static_cast<size_t>(4096 * info.channels));
  int64_t frame = 0, first = -1, last = -1;
  for (sf_count_t got; (got = sf_readf_float(file, block.data(), 4096)) > 0; frame += got)
    for (sf_count_t i = 0; i < got * info.channels; ++i) {
      const int64_t at = frame + i / info.channels;
      if (at < from || std::fabs(block[static_cast<size_t>(i)]) <= threshold) continue;
      if (first < 0) first = at;
      last = at;
    }
  sf_close(file);
  if (first < 0) return Fail(path + " is silent");
  std::printf("%.3f\n", static_cast<double>(last - first) / info.samplerate);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "score") {
    std::fputs(kBuiltInScore, stdout);
    return 0;
  }
  if (command == "now") {
    std::printf("%lld\n", static_cast<long long>(MonotonicNs()));
    return 0;
  }
  if (command == "capture" && argc == 5) return Capture(argv[2], argv[3], argv[4]);
  if (command == "stamp") return Stamp();
  if (command == "analyse") return Analyse(argc, argv);
  if (command == "span" && (argc == 3 || argc == 4))
    return Span(argv[2], argc == 4 ? std::atoll(argv[3]) : 0);
  return Fail(
      "usage: score | now | capture FIFO RAW READS | stamp | analyse OPTIONS | span FILE [FROM]");
}
