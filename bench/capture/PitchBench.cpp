// Pitch tracking and judging, measured on takes made here (no recording needed):
//   1. accuracy: every voiced frame in the judged middle of each note against the pitch
//      that was sung, for sines (exact) and the synthesizer's Voice Oohs (measured on each
//      note's judged middle by autocorrelation, apart from the tracker; the preset's tuning on
//      held notes is printed first);
//   2. side by side with Debian's aubiopitch (yinfft, same window and hop) on the same WAV
//      files: each note's median pitch from both;
//   3. cost of tracking, as a share of one core, on three minutes of voice;
//   4. the time to judge a three-minute take against its phrase.
//
//   tunwick_pitch_bench [--soundfont PATH] [--notes]
//     --soundfont  default: the soundfont the synthesizer finds
//     --notes      also each note's median pitch from both trackers and the reference

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "capture/PitchTracker.h"
#include "capture/TakeFile.h"
#include "listening/PhraseTargets.h"
#include "listening/TakeJudge.h"
#include "notation/Score.h"
#include "tests/capture/SyntheticTakes.h"

namespace {

using listening::PitchTrack;
using listening::TargetNote;

// C4 D4 E4 G4 A4 G4 E4 C4 at 600 ms a beat; and the same tune two octaves lower for a bass
// and an octave higher for a soprano.
const char kPhrase[] = "s=100,1,1,1,2,1,3,0.1,5,0.1,6,1,5,1,3,1,1";

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Median(std::vector<double> values) {
  if (values.empty()) return NAN;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

double Quantile(std::vector<double> values, double q) {
  if (values.empty()) return NAN;
  std::sort(values.begin(), values.end());
  return values[static_cast<size_t>(q * (values.size() - 1))];
}

std::vector<TargetNote> Shifted(std::vector<TargetNote> targets, int32_t semitones) {
  for (TargetNote& target : targets) target.pitch += semitones;
  return targets;
}

struct Take {
  std::string name;
  std::vector<TargetNote> targets;  // as sung, unshifted in time
  taketest::TakeShape shape;
  bool voice;
  std::vector<float> samples;
  std::vector<double> noteTruth;  // voice: each note's pitch over its judged middle, MIDI cents
};

// What the voice sang over each note's judged middle, measured on the take apart from the
// tracker: the preset is not perfectly steady from its attack on.
void MeasureVoice(Take& take) {
  for (size_t i = 0; i < take.targets.size(); ++i) {
    const TargetNote& target = take.targets[i];
    const double margin = 0.2 * (target.endMs - target.startMs);
    double expected = 100.0 * (target.pitch + take.shape.semitones);
    if (i < take.shape.centsPerNote.size()) expected += take.shape.centsPerNote[i];
    take.noteTruth.push_back(taketest::ReferenceMidiCents(
        take.samples, (take.shape.lateMs + target.startMs + margin) / 1000.0,
        (target.endMs - target.startMs - 2 * margin) / 1000.0, expected));
  }
}

// The pitch sung at `timeMs` into the take, in MIDI cents, or NAN outside the judged middle
// of a note: exact for a sine, measured apart from the tracker for the voice.
double TruthAt(const Take& take, double timeMs) {
  const double at = timeMs - take.shape.lateMs;
  for (size_t i = 0; i < take.targets.size(); ++i) {
    const TargetNote& target = take.targets[i];
    const double margin = 0.2 * (target.endMs - target.startMs);
    if (at < target.startMs + margin || at >= target.endMs - margin) continue;
    if (take.voice) return take.noteTruth[i];
    double cents = 100.0 * (target.pitch + take.shape.semitones);
    if (i < take.shape.centsPerNote.size()) cents += take.shape.centsPerNote[i];
    if (take.shape.vibratoCents != 0.0)
      cents += take.shape.vibratoCents * std::sin(2 * M_PI * 5.0 * timeMs / 1000.0);
    return cents;
  }
  return NAN;
}

// Each note's median pitch over the judged middle, from frames given as (ms, MIDI cents).
std::vector<double> NoteMedians(const Take& take,
                                const std::vector<std::pair<double, double>>& frames) {
  std::vector<double> medians;
  for (const TargetNote& target : take.targets) {
    const double margin = 0.2 * (target.endMs - target.startMs);
    std::vector<double> inside;
    for (const auto& [ms, cents] : frames) {
      const double at = ms - take.shape.lateMs;
      if (cents > 0 && at >= target.startMs + margin && at < target.endMs - margin)
        inside.push_back(cents);
    }
    medians.push_back(Median(inside));
  }
  return medians;
}

// aubiopitch's frames for a WAV file: (ms at the middle of its window, MIDI cents). Its time
// is the start of the hop that completes the window; ours is the window's middle.
std::vector<std::pair<double, double>> AubioPitch(const std::string& wav, int window, int hop,
                                                  bool& ran) {
  std::vector<std::pair<double, double>> frames;
  const std::string command = "aubiopitch -i '" + wav + "' -p yinfft -B " + std::to_string(window) +
                              " -H " + std::to_string(hop) + " -u midi -s -50 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  ran = pipe != nullptr;
  if (pipe == nullptr) return frames;
  double seconds = 0, midi = 0;
  const double shiftMs = 1000.0 * (hop - window / 2.0) / taketest::kRate;
  while (std::fscanf(pipe, "%lf %lf", &seconds, &midi) == 2)
    frames.emplace_back(1000.0 * seconds + shiftMs, 100.0 * midi);
  ran = pclose(pipe) == 0 && !frames.empty();
  return frames;
}

}  // namespace

int main(int argc, char** argv) {
  std::string soundfont;
  bool showNotes = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--soundfont") == 0 && i + 1 < argc) soundfont = argv[++i];
    if (std::strcmp(argv[i], "--notes") == 0) showNotes = true;
  }

  auto score = std::make_unique<Score>();
  char folder[] = "/tmp/tunwick-pitch-bench-XXXXXX";
  if (mkdtemp(folder) == nullptr) return 1;
  ParseScore(kPhrase, static_cast<int32_t>(sizeof kPhrase - 1), *score);
  const std::vector<TargetNote> targets = listening::PhraseTargets(score->phrases[0], 0);

  std::vector<Take> takes;
  auto add = [&takes](const char* name, std::vector<TargetNote> sung, taketest::TakeShape shape,
                      bool voice) {
    takes.push_back({name, std::move(sung), shape, voice, {}, {}});
  };
  add("sine, C4 to A4", targets, {}, false);
  add("sine, bass, C2 to A2", Shifted(targets, -24), {}, false);
  add("sine, soprano, C5 to A5", Shifted(targets, 12), {}, false);
  add("sine, 5 Hz vibrato of 30 cents", targets, {{}, 0, 0, 500, 30.0}, false);
  add("voice, plain", targets, {}, true);
  add("voice, bent 30 and 150 cents", targets, {{0, 30, 0, 0, 0, 150, 0, 0}}, true);
  add("voice, an octave up, 150 ms late", targets, {{}, 12, 150}, true);
  add("voice, low, C3 to A3", Shifted(targets, -12), {}, true);

  // The preset's tuning on every key sung, from a held note, apart from the tracker.
  std::map<int32_t, double> tuning;
  for (const Take& take : takes) {
    if (!take.voice) continue;
    for (const TargetNote& target : take.targets) {
      const int32_t key = target.pitch + take.shape.semitones;
      if (tuning.count(key) != 0) continue;
      const std::vector<float> note = taketest::VoiceNote(key, 0.0, 1.0, soundfont);
      tuning[key] = taketest::ReferenceMidiCents(note, 0.3, 0.5, 100.0 * key) - 100.0 * key;
    }
  }
  std::printf("Voice Oohs tuning by key (cents):");
  for (const auto& [key, cents] : tuning) std::printf(" %d:%+.1f", key, cents);
  std::printf("\n\n");

  // Per take: the frames judged, their median and 90th percentile error, the worst note's
  // median error; aubiopitch's median frame error; the largest difference of a note's median
  // between the two.
  std::printf("%-34s %7s %9s %9s %11s %9s %11s\n", "take", "frames", "median", "p90", "worst note",
              "aubio", "ours-aubio");
  std::vector<double> allErrors, allAubioErrors;
  double worstAgreement = 0.0, worstNoteError = 0.0;
  for (Take& take : takes) {
    take.samples = take.voice ? taketest::VoiceTake(take.targets, take.shape, soundfont)
                              : taketest::SineTake(take.targets, take.shape);
    if (take.voice) MeasureVoice(take);
    const std::string wav = std::string(folder) + "/take.wav";
    taketest::WriteWav(wav, take.samples);
    const capture::TakeFileResult read = capture::TrackTakeFile(wav);
    std::vector<double> errors;
    std::vector<std::pair<double, double>> ours;
    for (const listening::PitchFrame& frame : read.track.frames) {
      if (!frame.voiced) continue;
      ours.emplace_back(frame.timeMs, frame.midiCents);
      const double truth = TruthAt(take, frame.timeMs);
      if (!std::isnan(truth)) errors.push_back(std::fabs(frame.midiCents - truth));
    }
    allErrors.insert(allErrors.end(), errors.begin(), errors.end());

    bool ran = false;
    const capture::CPitchTracker shape(taketest::kRate);
    const auto theirs = AubioPitch(wav, shape.WindowSize(), shape.HopSize(), ran);
    std::vector<double> aubioErrors;
    for (const auto& [ms, cents] : theirs) {
      const double truth = TruthAt(take, ms);
      if (cents > 0 && !std::isnan(truth)) aubioErrors.push_back(std::fabs(cents - truth));
    }
    allAubioErrors.insert(allAubioErrors.end(), aubioErrors.begin(), aubioErrors.end());
    std::vector<std::pair<double, double>> truths;
    for (const auto& [ms, cents] : ours) truths.emplace_back(ms, TruthAt(take, ms));
    const std::vector<double> truthNotes = NoteMedians(take, truths);
    const std::vector<double> ourNotes = NoteMedians(take, ours);
    const std::vector<double> aubioNotes = NoteMedians(take, theirs);
    double agreement = 0.0, noteError = 0.0;
    for (size_t i = 0; i < ourNotes.size(); ++i) {
      agreement = std::max(agreement, std::fabs(ourNotes[i] - aubioNotes[i]));
      noteError = std::max(noteError, std::fabs(ourNotes[i] - truthNotes[i]));
      // Against the key sung: ours, aubiopitch's and the reference's cents.
      const double key = 100.0 * (take.targets[i].pitch + take.shape.semitones);
      if (showNotes)
        std::printf("    note %zu: ours %+.1f aubio %+.1f reference %+.1f\n", i, ourNotes[i] - key,
                    aubioNotes[i] - key, truthNotes[i] - key);
    }
    worstNoteError = std::max(worstNoteError, noteError);
    if (ran) worstAgreement = std::max(worstAgreement, agreement);
    std::printf("%-34s %7zu %7.2f c %7.2f c %9.2f c %7.2f c %9.2f c\n", take.name.c_str(),
                errors.size(), Median(errors), Quantile(errors, 0.9), noteError,
                ran ? Median(aubioErrors) : NAN, ran ? agreement : NAN);
  }
  std::printf("%-34s %7zu %7.2f c %7.2f c %9.2f c %7.2f c %9.2f c\n\n", "all", allErrors.size(),
              Median(allErrors), Quantile(allErrors, 0.9), worstNoteError, Median(allAubioErrors),
              worstAgreement);

  // Tracking cost: three minutes of the voice, fed in 256-sample blocks as capture delivers.
  std::vector<float> voice;
  while (voice.size() < static_cast<size_t>(180 * taketest::kRate))
    voice.insert(voice.end(), takes[4].samples.begin(), takes[4].samples.end());
  voice.resize(static_cast<size_t>(180 * taketest::kRate));
  capture::CPitchTracker tracker(taketest::kRate);
  std::vector<listening::PitchFrame> frames;
  frames.reserve(voice.size() / 256 + 1);
  const double cpuBefore = CpuSeconds();
  const auto wallBefore = std::chrono::steady_clock::now();
  for (size_t at = 0; at < voice.size(); at += 256)
    tracker.Feed(voice.data() + at, std::min<size_t>(256, voice.size() - at), frames);
  const double cpu = CpuSeconds() - cpuBefore;
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
  std::printf(
      "Tracking 180 s of voice at 44.1 kHz (hop %d, window %d): %.2f s CPU, %.2f s wall:"
      " %.2f %% of one core, %.1f us a hop\n",
      tracker.HopSize(), tracker.WindowSize(), cpu, wall, 100.0 * cpu / 180.0,
      1e6 * cpu / frames.size());

  // Judging: a phrase of 360 crotchets at 120 (three minutes), sung as a sine and tracked.
  std::string longPhrase = "s=120";
  const char* degrees[] = {"1", "2", "3", "4", "5", "6", "7", "10"};
  for (int i = 0; i < 360; ++i) longPhrase += std::string(",1,") + degrees[(i * 5) % 8];
  ParseScore(longPhrase.c_str(), static_cast<int32_t>(longPhrase.size()), *score);
  const std::vector<TargetNote> longTargets = listening::PhraseTargets(score->phrases[0], 0);
  taketest::TakeShape late;
  late.lateMs = 120;
  late.vibratoCents = 20.0;
  const std::vector<float> longTake = taketest::SineTake(longTargets, late);
  const PitchTrack track = capture::TrackPitch(longTake.data(), longTake.size(), taketest::kRate);
  std::vector<double> judgeMs, judgeCpuMs;
  listening::TakeJudgement judged;
  for (int run = 0; run < 5; ++run) {
    const auto start = std::chrono::steady_clock::now();
    const double startCpu = CpuSeconds();
    judged = listening::JudgeTake(longTargets, track);
    judgeCpuMs.push_back(1000.0 * (CpuSeconds() - startCpu));
    judgeMs.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
  }
  std::printf(
      "Judging a %.0f s take (%zu frames, %d notes): median %.1f ms wall, %.1f ms CPU of 5 runs "
      "(goal < 500 ms); %d hits, offset %d ms\n",
      longTake.size() / static_cast<double>(taketest::kRate), track.frames.size(), judged.Judged(),
      Median(judgeMs), Median(judgeCpuMs), judged.hits, judged.offsetMs);

  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return 0;
}
