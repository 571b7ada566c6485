#pragma once

// Sing-back in the window, on the fake platform with a fake ear that "hears" frames the test
// sings and judges them with the real judge; the fixture starts the dialog with it and moves
// the fake clock.
#include <QCoreApplication>
#include <cmath>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <vector>

#include "TestDialog.h"
#include "listening/PhraseTargets.h"
#include "panel/SingBackPanel.h"
#include "playback/Player.h"
#include "window/DialogLayout.h"

// Failure messages show texts, not their bytes.
inline void PrintTo(const QString& text, std::ostream* out) { *out << text.toStdString(); }

namespace singbacktest {

inline constexpr double kHopMs = 5.0;

// An ear that hears what the test sings and judges it with the real judge.
class FakeEar : public ListeningEar {
 public:
  // `gone` is called when the dialog lets the ear (its microphone) go.
  FakeEar(const CPlayer& player, std::function<void()> gone)
      : player_(player), gone_(std::move(gone)) {}
  ~FakeEar() override { gone_(); }

  void StartTake(int32_t row, int32_t) override {
    std::lock_guard<std::mutex> hold(lock_);
    taking = true;
    row_ = row;
    frames_.clear();
  }
  TakeVerdict FinishTake() override {
    listening::PitchTrack track;
    track.hopMs = kHopMs;
    {
      std::lock_guard<std::mutex> hold(lock_);
      taking = false;
      track.frames = frames_;
    }
    listening::JudgeSettings judging;
    judging.hitCents = listening::ToleranceCents(tolerance);
    track.levels = levels;
    last_ = listening::JudgeTake(TargetsOf(row_), track, judging);
    ++takes;
    if (judged_) judged_(row_, last_);
    return {listening::PassesPhrase(last_), last_.hits, last_.Judged()};
  }
  void CancelTake() override {
    std::lock_guard<std::mutex> hold(lock_);
    taking = false;
    frames_.clear();
  }
  void TakeFramesFrom(size_t from, std::vector<listening::PitchFrame>& out) const override {
    std::lock_guard<std::mutex> hold(lock_);
    if (from < frames_.size()) out.insert(out.end(), frames_.begin() + from, frames_.end());
  }
  std::vector<listening::TargetNote> TargetsOf(int32_t row) const override {
    return listening::PhraseTargets(player_.LoadedScore().phrases[row], 0);
  }
  void SetJudgementSink(JudgementSink sink) override { judged_ = std::move(sink); }
  void SetTolerance(listening::Tolerance chosen) override { tolerance = chosen; }
  InputLevel ReadInputLevel() override {
    std::lock_guard<std::mutex> hold(lock_);
    InputLevel read = input;
    input = {};
    ++levelReads;
    return read;
  }
  // What the microphone hears next, for the meter.
  void Hear(double peakDb, bool clipped) {
    std::lock_guard<std::mutex> hold(lock_);
    input.peakDb = std::max(input.peakDb, peakDb);
    input.clipped = input.clipped || clipped;
  }

  // Frames from fromMs to toMs at a level: sung at `midiCents` (0: only noise, no pitch),
  // with `clipped` samples at full scale in the first.
  void HearFrames(double fromMs, double toMs, double midiCents, double levelDb, int32_t clipped) {
    std::lock_guard<std::mutex> hold(lock_);
    for (double t = fromMs; t < toMs; t += kHopMs) {
      listening::PitchFrame frame{t, midiCents, midiCents > 0.0 ? 0.95 : 0.1, midiCents > 0.0};
      frame.levelDb = levelDb;
      frame.peakDb = levelDb + 3.0;
      frame.clipped = t == fromMs ? clipped : 0;
      frames_.push_back(frame);
    }
  }
  // Sings `midiCents` from fromMs to toMs of the take, one frame a hop.
  void Sing(double fromMs, double toMs, double midiCents) {
    std::lock_guard<std::mutex> hold(lock_);
    for (double t = fromMs; t < toMs; t += kHopMs) frames_.push_back({t, midiCents, 0.9, true});
  }

  bool taking = false;
  int takes = 0;
  listening::Tolerance tolerance = listening::Tolerance::kNormal;
  bool levels = false;  // the frames sung carry levels
  int levelReads = 0;
  InputLevel input;

 private:
  const CPlayer& player_;
  std::function<void()> gone_;
  mutable std::mutex lock_;
  int32_t row_ = 0;
  std::vector<listening::PitchFrame> frames_;
  listening::TakeJudgement last_;
  JudgementSink judged_;
};

// Three phrases alike: a try that passes moves on to the next, and the exercise goes on.
inline constexpr char kThreePhrases[] = "s=100,1,1,1,2,1,3,1,5|1,1,1,2,1,3,1,5|1,1,1,2,1,3,1,5";

class SingBackPanelTest : public DialogTest {
 protected:
  void StartWithEar(const char* score) {
    dlg->makeEar = [this] {
      auto made = std::make_unique<FakeEar>(dlg->Player(), [this] {
        ear = nullptr;
        ++earsLetGo;
      });
      ear = made.get();
      return made;
    };
    Start();
    dlg->SetEditText(QString::fromUtf8(score));
    dlg->Click(IDC_LOAD);
    dlg->Player().OnPause();
  }
  // Moves the fake clock a millisecond at a time until `done` or `limitMs` have passed.
  template <typename Done>
  bool RunUntil(Done done, int limitMs = 30000) {
    for (int i = 0; i < limitMs && dlg->fake.timerSet; ++i) {
      if (done()) return true;
      dlg->fake.nowMs += 1;
      dlg->Player().OnTimer(1);
    }
    QCoreApplication::processEvents();
    return done();
  }
  // The phrase's notes sung, note i raised by centsOff[i] (NaN: not sung).
  void SingTheTake(const std::vector<double>& centsOff) {
    const std::vector<listening::TargetNote>& targets = dlg->SingBackPanel().Targets();
    ASSERT_EQ(targets.size(), centsOff.size());
    for (size_t i = 0; i < targets.size(); ++i)
      if (!std::isnan(centsOff[i]))
        ear->Sing(targets[i].startMs, targets[i].endMs, 100.0 * targets[i].pitch + centsOff[i]);
  }

  FakeEar* ear = nullptr;  // the ear the dialog holds, null once it let it go
  int earsLetGo = 0;
};

}  // namespace singbacktest

using singbacktest::SingBackPanelTest;
