#include "singback/CaptureEar.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>

#include "listening/PhraseTargets.h"
#include "notation/Score.h"
#include "playback/Player.h"

CCaptureEar::CCaptureEar(const CPlayer& player, int sampleRate, int32_t transpose)
    : player_(player), transpose_(transpose), tracker_(sampleRate), clock_([] {
        return static_cast<int64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
      }) {
  fresh_.reserve(64);
  frames_.reserve(1 << 14);
}

std::unique_ptr<CCaptureEar> CCaptureEar::Listen(const CPlayer& player,
                                                 std::unique_ptr<SoundInput> input,
                                                 int32_t transpose) {
  auto feeding = std::make_shared<std::atomic<CCaptureEar*>>(nullptr);
  const unsigned rate = input->Start([feeding](const float* samples, unsigned frames) {
    if (CCaptureEar* ear = feeding->load()) ear->OnSamples(samples, frames);
  });
  auto ear = std::make_unique<CCaptureEar>(player, static_cast<int>(rate), transpose);
  ear->feeding_ = feeding;
  ear->input_ = std::move(input);
  feeding->store(ear.get());
  return ear;
}

CCaptureEar::~CCaptureEar() { StopInput(); }

void CCaptureEar::StopInput() {
  if (feeding_) feeding_->store(nullptr);
  // Closing the input ends its thread: no block reaches the ear after this.
  input_.reset();
}

void CCaptureEar::OnSamples(const float* samples, unsigned frames) {
  // The meter first: a peak held until the display looks, the latest block's RMS.
  float peak = 0.0f;
  double energy = 0.0;
  for (unsigned i = 0; i < frames; ++i) {
    peak = std::max(peak, std::fabs(samples[i]));
    energy += static_cast<double>(samples[i]) * samples[i];
  }
  float held = meterPeak_.load(std::memory_order_relaxed);
  while (peak > held && !meterPeak_.compare_exchange_weak(held, peak, std::memory_order_relaxed)) {
  }
  if (frames > 0)
    meterRms_.store(static_cast<float>(std::sqrt(energy / frames)), std::memory_order_relaxed);
  if (peak >= listening::kFullScale) meterClipped_.store(true, std::memory_order_relaxed);

  fresh_.clear();
  tracker_.Feed(samples, frames, fresh_);
  const int64_t now = clock_();
  std::lock_guard<std::mutex> hold(lock_);
  heardMs_ += 1000.0 * frames / tracker_.SampleRate();
  if (listening_)
    longestQuietMs_ = std::max(longestQuietMs_, now - std::max(lastBlockMs_, takeStartMs_));
  lastBlockMs_ = now;
  if (!listening_) return;
  // Frames are timed at the middle of their window: those from before the take are dropped.
  for (listening::PitchFrame frame : fresh_) {
    if (frame.timeMs < originMs_) continue;
    frame.timeMs -= originMs_;
    frames_.push_back(frame);
  }
}

void CCaptureEar::StartTake(int32_t row, int32_t) {
  const int64_t now = clock_();
  std::lock_guard<std::mutex> hold(lock_);
  takeStartMs_ = now;
  longestQuietMs_ = 0;
  listening_ = true;
  originMs_ = heardMs_;
  row_ = row;
  frames_.clear();
}

TakeVerdict CCaptureEar::FinishTake() {
  listening::PitchTrack track;
  track.hopMs = tracker_.HopMs();
  track.levels = true;
  int32_t row = 0;
  listening::JudgeSettings judging;
  const int64_t now = clock_();
  {
    std::lock_guard<std::mutex> hold(lock_);
    listening_ = false;
    const int64_t quietMs = std::max(longestQuietMs_, now - std::max(lastBlockMs_, takeStartMs_));
    if (quietMs >= kInputLostAfterMs) {
      // The input stopped sending: what little came is no take, and nothing is judged.
      frames_.clear();
      TakeVerdict lost;
      lost.heard = false;
      lost.inputLost = true;
      return lost;
    }
    row = row_;
    judging = judging_;
    // Copied: the panel still draws them once the take is judged.
    track.frames = frames_;
  }
  last_ = listening::JudgeTake(TargetsOf(row), track, judging);
  lastRow_ = row;
  if (judged_) judged_(row, last_);
  TakeVerdict verdict;
  verdict.passed = listening::PassesPhrase(last_, judging);
  verdict.hits = last_.hits;
  verdict.judged = last_.Judged();
  verdict.heard = !last_.TooQuiet();
  return verdict;
}

std::vector<listening::TargetNote> CCaptureEar::TargetsOf(int32_t row) const {
  // Sung where the player plays it: moved to fit the singer's range, if one is set.
  return listening::PhraseTargets(player_.LoadedScore().phrases[row],
                                  transpose_ + player_.PhraseShift(row));
}

void CCaptureEar::CancelTake() {
  std::lock_guard<std::mutex> hold(lock_);
  listening_ = false;
  frames_.clear();
}

bool CCaptureEar::LatestFrame(listening::PitchFrame& frame) const {
  std::lock_guard<std::mutex> hold(lock_);
  if (!listening_ || frames_.empty()) return false;
  frame = frames_.back();
  return true;
}

void CCaptureEar::TakeFramesFrom(size_t from, std::vector<listening::PitchFrame>& out) const {
  std::lock_guard<std::mutex> hold(lock_);
  if (from < frames_.size()) out.insert(out.end(), frames_.begin() + from, frames_.end());
}

void CCaptureEar::SetTolerance(listening::Tolerance tolerance) {
  std::lock_guard<std::mutex> hold(lock_);
  judging_.hitCents = listening::ToleranceCents(tolerance);
}

InputLevel CCaptureEar::ReadInputLevel() {
  InputLevel level;
  level.peakDb = listening::DbOfAmplitude(meterPeak_.exchange(0.0f, std::memory_order_relaxed));
  level.rmsDb = listening::DbOfAmplitude(meterRms_.load(std::memory_order_relaxed));
  level.clipped = meterClipped_.exchange(false, std::memory_order_relaxed);
  return level;
}
