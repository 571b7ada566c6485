#include "tests/capture/SyntheticTakes.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "listening/Pitch.h"
#include "midi/OfflineSynth.h"

namespace taketest {

namespace {

constexpr uint32_t ProgramChange(int program) {
  return 0xC0u | (static_cast<uint32_t>(program) << 8);
}

// Pitch bend on channel 1 for `cents` at the General MIDI range of ±2 semitones.
uint32_t PitchBend(double cents) {
  const long value = std::clamp(std::lround(8192.0 + cents / 200.0 * 8192.0), 0L, 16383L);
  return 0xE0u | (static_cast<uint32_t>(value & 0x7F) << 8) |
         (static_cast<uint32_t>(value >> 7) << 16);
}

constexpr uint32_t NoteOn(int key) {
  return 0x90u | (static_cast<uint32_t>(key) << 8) | (100u << 16);
}
constexpr uint32_t NoteOff(int key) { return 0x80u | (static_cast<uint32_t>(key) << 8); }

int64_t Frames(double ms) { return static_cast<int64_t>(std::llround(ms * kRate / 1000.0)); }

void AppendMono(midi::COfflineSynth& synth, int64_t frames, std::vector<float>& mono) {
  if (frames <= 0) return;
  std::vector<int16_t> stereo;
  synth.RenderFrames(static_cast<int>(frames), stereo);
  for (size_t i = 0; i + 1 < stereo.size(); i += 2)
    mono.push_back((stereo[i] + stereo[i + 1]) / (2.0f * 32768.0f));
}

double Cents(const TakeShape& shape, size_t note) {
  return note < shape.centsPerNote.size() ? shape.centsPerNote[note] : 0.0;
}

}  // namespace

std::vector<float> VoiceTake(const std::vector<listening::TargetNote>& targets,
                             const TakeShape& shape, const std::string& soundfont) {
  midi::COfflineSynth synth(soundfont);
  synth.SendShortMessage(ProgramChange(kVoiceOohs));
  std::vector<float> mono(static_cast<size_t>(Frames(shape.lateMs)), 0.0f);
  const int64_t origin = static_cast<int64_t>(mono.size());
  int previous = -1;
  for (size_t i = 0; i < targets.size(); ++i) {
    // A rest before the note: the previous note ends where it should.
    if (previous >= 0 && targets[i - 1].endMs < targets[i].startMs) {
      AppendMono(synth, origin + Frames(targets[i - 1].endMs) - static_cast<int64_t>(mono.size()),
                 mono);
      synth.SendShortMessage(NoteOff(previous));
      previous = -1;
    }
    AppendMono(synth, origin + Frames(targets[i].startMs) - static_cast<int64_t>(mono.size()),
               mono);
    // Legato: the previous note gives way as the next begins.
    if (previous >= 0) synth.SendShortMessage(NoteOff(previous));
    synth.SendShortMessage(PitchBend(Cents(shape, i)));
    previous = targets[i].pitch + shape.semitones;
    synth.SendShortMessage(NoteOn(previous));
    AppendMono(synth, origin + Frames(targets[i].endMs) - static_cast<int64_t>(mono.size()), mono);
  }
  if (previous >= 0) synth.SendShortMessage(NoteOff(previous));
  AppendMono(synth, Frames(shape.tailMs), mono);
  return mono;
}

std::vector<float> SineTake(const std::vector<listening::TargetNote>& targets,
                            const TakeShape& shape) {
  const int64_t end = targets.empty() ? 0 : Frames(targets.back().endMs);
  std::vector<float> mono(static_cast<size_t>(Frames(shape.lateMs) + end + Frames(shape.tailMs)),
                          0.0f);
  double phase = 0.0;
  for (size_t i = 0; i < targets.size(); ++i) {
    const int64_t from = Frames(targets[i].startMs), to = Frames(targets[i].endMs);
    const double base = 100.0 * (targets[i].pitch + shape.semitones) + Cents(shape, i);
    for (int64_t n = from; n < to; ++n) {
      const double t = static_cast<double>(n) / kRate;
      const double cents = base + shape.vibratoCents * std::sin(2 * M_PI * 5.0 * t);
      phase += 2 * M_PI * listening::FrequencyOfMidiCents(cents) / kRate;
      // 5 ms fades keep the joins from clicking.
      const double fade = std::min({1.0, (n - from) / (0.005 * kRate), (to - n) / (0.005 * kRate)});
      mono[static_cast<size_t>(Frames(shape.lateMs) + n)] =
          static_cast<float>(shape.level * fade * std::sin(phase));
    }
  }
  return mono;
}

std::vector<listening::TargetNote> RangeExercise(int32_t low, int32_t high, int32_t noteMs,
                                                 int32_t growlKey, int32_t squeakKey,
                                                 int32_t shortMs) {
  std::vector<listening::TargetNote> notes;
  int32_t at = 0;
  const auto sing = [&](int32_t key, int32_t lengthMs) {
    notes.push_back({static_cast<int32_t>(notes.size()), key, at, at + lengthMs});
    at += lengthMs;
  };
  sing(growlKey, shortMs);
  at += 200;
  for (int32_t key = low; key <= high; ++key) sing(key, noteMs);
  at += 200;
  sing(squeakKey, shortMs);
  return notes;
}

std::vector<float> Noise(double seconds, double rms, uint32_t seed) {
  std::mt19937 random(seed);
  std::normal_distribution<float> gauss(0.0f, static_cast<float>(rms));
  std::vector<float> mono(static_cast<size_t>(seconds * kRate));
  for (float& sample : mono) sample = std::clamp(gauss(random), -1.0f, 1.0f);
  return mono;
}

std::vector<float> VoiceNote(int midiNote, double cents, double seconds,
                             const std::string& soundfont) {
  const int32_t ms = static_cast<int32_t>(seconds * 1000.0);
  TakeShape shape;
  shape.centsPerNote = {cents};
  shape.tailMs = 0;
  return VoiceTake({{0, midiNote, 0, ms}}, shape, soundfont);
}

bool WriteWav(const std::string& path, const std::vector<float>& mono, int rate, int channels) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) return false;
  std::vector<float> interleaved;
  interleaved.reserve(mono.size() * channels);
  for (float sample : mono)
    for (int c = 0; c < channels; ++c) interleaved.push_back(sample);
  const sf_count_t frames = static_cast<sf_count_t>(mono.size());
  const bool ok = sf_writef_float(file, interleaved.data(), frames) == frames;
  return sf_close(file) == 0 && ok;
}

double ReferenceMidiCents(const std::vector<float>& mono, double fromSeconds, double seconds,
                          double expectedMidiCents) {
  const size_t from = static_cast<size_t>(fromSeconds * kRate);
  const size_t length = std::min(static_cast<size_t>(seconds * kRate), mono.size() - from);
  const double expectedPeriod = kRate / listening::FrequencyOfMidiCents(expectedMidiCents);
  // Lags within a fifth either side of the expected period: the note's own, not an octave.
  const int low = static_cast<int>(expectedPeriod / 1.5),
            high = static_cast<int>(expectedPeriod * 1.5);
  const size_t window = length - static_cast<size_t>(high) - 2;
  auto correlation = [&](int lag) {
    double sum = 0, a = 0, b = 0;
    for (size_t n = 0; n < window; ++n) {
      const double x = mono[from + n], y = mono[from + n + lag];
      sum += x * y;
      a += x * x;
      b += y * y;
    }
    return a > 0 && b > 0 ? sum / std::sqrt(a * b) : 0.0;
  };
  int best = low;
  double bestValue = -2.0;
  std::vector<double> values(static_cast<size_t>(high + 2), 0.0);
  for (int lag = low - 1; lag <= high + 1; ++lag) values[lag] = correlation(lag);
  for (int lag = low; lag <= high; ++lag)
    if (values[lag] > bestValue) {
      bestValue = values[lag];
      best = lag;
    }
  const double a = values[best - 1], b = values[best], c = values[best + 1];
  const double denominator = a - 2 * b + c;
  const double period = best + (denominator != 0 ? 0.5 * (a - c) / denominator : 0.0);
  return listening::MidiCentsOfFrequency(kRate / period);
}

}  // namespace taketest
