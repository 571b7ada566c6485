#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "history/PracticeHistory.h"
#include "notation/VoiceRange.h"
#include "panel/SingBackPanel.h"

// Where the learner's choice of how strictly sing-back judges is kept in the user's settings:
// "strict", "normal" or "easy".
constexpr char kToleranceSetting[] = "singBack/tolerance";

class CPlayer;
class ListeningEar;
class PitchListener;
class PlayerObserver;
class QObject;
struct Song;

// Sing-back in the window, behind the dialog's button: the microphone, open only while the
// exercise runs; each judged try kept in the practice history and the phrase's history handed
// to the panel; the singer's range and how strictly takes are judged, both kept in the user's
// settings ("voice/range", e.g. "A2-E4", and kToleranceSetting); the practice tempo chosen in
// the panel, kept with each try.
class CSingBackSession {
 public:
  // What the session reaches outside the window, replaced by the tests.
  struct Seams {
    // The ear over the default input, and the range exercise's; each throws
    // capture::AudioCaptureError when there is no input to listen to.
    std::function<std::unique_ptr<ListeningEar>()> createEar;
    std::function<std::unique_ptr<PitchListener>()> createRangeListener;
    // The practice history's file and clock.
    std::function<std::string()> historyPath;
    std::function<history::WallTime()> wallNow;
    // A warning in a message box.
    std::function<void(const QString& text)> warn;
  };

  // Watches `player` and feeds `panel`; `context` (the dialog) carries the queued calls.
  CSingBackSession(CPlayer& player, CSingBackPanel& panel, QObject& context, Seams seams);
  ~CSingBackSession();
  CSingBackSession(const CSingBackSession&) = delete;
  CSingBackSession& operator=(const CSingBackSession&) = delete;

  // The score the player now holds, as the practice history knows it: its text, and the file
  // it was read from ("" for a score typed or built in). Its song (title, meter, words) is read
  // here, once, and handed to the panel.
  void SetScore(std::string text, std::string file);
  // The song of the score set last.
  const std::shared_ptr<const Song>& LoadedSong() const { return song_; }

  // Opens the microphone (or says why it cannot, and returns false). It is let go once
  // playback stops, after the player has finished telling its observers.
  bool OpenEar();
  // Starts the exercise from its first phrase, the ear open: the panel forgets the last try.
  void Start();
  // Whether Continue may go on: a paused exercise listens again, so its ear must open; a
  // finished one has nothing to resume.
  bool ReadyToContinue();

  // The ear listened through, or null while the microphone is let go.
  ListeningEar* Ear() const { return ear_.get(); }

  // Where a judged take goes instead of the history as the loaded score's try (a course keeps
  // its chained takes as tries of the song); empty: kept here.
  using TakeKeeper = std::function<void(int32_t row, const listening::TakeJudgement&)>;
  void SetTakeKeeper(TakeKeeper keeper) { keeper_ = std::move(keeper); }
  // The practice history, opened on first use; the text and file of the score set last; the
  // learner's local day today.
  history::CPracticeHistory& Practice();
  const std::string& ScoreText() const { return scoreText_; }
  const std::string& ScoreFile() const { return scoreFile_; }
  int64_t Today() const;

 private:
  void ReleaseEarWhenStopped();
  // Playback stops and the score is loaded again at the tempo chosen in the panel.
  void OnTempoChosen(int32_t percent);
  void RecordTry(int32_t row, const listening::TakeJudgement& judgement);
  HistoryView PhraseHistory(int32_t row);
  void LoadStoredRange();
  void OnRangeChosen(const std::optional<VoiceRange>& range);
  void LoadStoredTolerance();
  void OnToleranceChosen(listening::Tolerance tolerance);

  CPlayer& player_;
  CSingBackPanel& panel_;
  QObject& context_;
  Seams seams_;
  std::unique_ptr<ListeningEar> ear_;
  std::unique_ptr<PlayerObserver> earRelease_;
  std::string scoreText_;
  std::string scoreFile_;
  std::shared_ptr<const Song> song_;
  std::unique_ptr<history::CPracticeHistory> practice_;
  TakeKeeper keeper_;
  std::string practiceNotice_;  // the history's last complaint, until the panel has shown it
};
