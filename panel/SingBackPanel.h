#pragma once

#include <QColor>
#include <QRectF>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "listening/PhraseTargets.h"
#include "listening/Pitch.h"
#include "listening/TakeJudge.h"
#include "listening/Tolerance.h"
#include "panel/HistoryChart.h"
#include "playback/PlayerNotification.h"
#include "singback/ListeningEar.h"

class CCoursePane;
class CPlayer;
class CRangeStrip;
class CToleranceBox;
class QPainter;
struct Song;

// The sing-back exercise's window beside the dialog: the phrase as a piano roll (time across,
// pitch up) with its notes as bars, the pitch the learner sings as a line drawn live, and after
// each try every note coloured hit or missed and marked with its cents. Below the roll, the
// phrase's practice history (CHistoryChart). Above the roll: the range exercise and the
// singer's range (CRangeStrip); the microphone's level on a meter with a clip mark, live from
// the moment the microphone opens until the take ends; and the choice of how strictly notes
// are judged (CToleranceBox). Below the roll, the song's course and the tempo (CCoursePane).
// With the song's words, each note's syllable (its first verse) is
// written under its bar.
class CSingBackPanel : public QWidget, public PlayerObserver {
  Q_OBJECT

 public:
  // How often the ear is asked for new pitch, while a take runs only.
  static constexpr int kPollMs = 30;

  // One note as drawn: its bar in the panel's pixels, its colour and its mark, and the
  // syllable written under the bar.
  struct NoteView {
    QRectF bar;
    QColor colour;
    QString mark;      // "+12" cents after a try, "—" when not sung, empty before
    QString syllable;  // as it fits (FitSyllable); empty for none
    QRectF syllableBox;
    bool held = false;  // the syllable before goes on over this note: a line in syllableBox
  };

  using HistorySource = std::function<HistoryView(int32_t row)>;

  CSingBackPanel(const CPlayer& player, QWidget* parent = nullptr);

  // The ear whose pitch and notes are drawn; null for none. It must outlive its use here.
  // The level meter runs from here (the microphone has just opened) to the take's end, and
  // again from each cue.
  void SetEar(ListeningEar* ear);

  // How strictly the takes are judged, as chosen here; setting it tells no one.
  listening::Tolerance Tolerance() const;
  void SetTolerance(listening::Tolerance tolerance);
  // The choice's box, for a test to choose with.
  CToleranceBox& ToleranceBox() { return *toleranceBox_; }
  // The verdicts of a take, as the ear judged it (the ear's judgement sink forwards here).
  void TakeJudged(int32_t row, const listening::TakeJudgement& judgement);
  // Where the practice history of a phrase is asked for: when a phrase is shown and after each
  // try. Empty: no history strip below the roll.
  void SetHistorySource(HistorySource source);

  // The words of the score the player holds, read once when it was loaded; null for none.
  void SetSong(std::shared_ptr<const Song> song);

  // Forgets the phrase and the try shown, for a new start of the mode.
  void Reset();

  // The range exercise along the panel's top.
  CRangeStrip& RangeStrip() const { return *rangeStrip_; }
  // The course of the song and the practice tempo, above the history along the bottom.
  CCoursePane& Course() const { return *course_; }

  void OnPlayerNotification(const PlayerNotification& notification) override;

  // Takes the pitch frames the ear heard since the last poll (the timer does this).
  void PollEar();
  // Takes the input's level since the last look (the meter's timer does this).
  void PollLevel();

  // The state drawn.
  int32_t Row() const { return row_; }
  const std::vector<listening::TargetNote>& Targets() const { return targets_; }
  const std::vector<listening::PitchFrame>& Sung() const { return sung_; }
  bool Judged() const { return judged_; }
  const listening::TakeJudgement& Judgement() const { return judgement_; }
  // The phrase's practice history along the bottom.
  const CHistoryChart& HistoryChart() const { return *historyChart_; }
  bool Polling() const { return poll_.isActive(); }
  bool Metering() const { return meter_.isActive(); }
  // The level the meter shows, and whether its clip mark is lit.
  double MeterDb() const { return meterDb_; }
  bool ClipShown() const { return clipShown_; }
  // The caption above the roll.
  QString Caption() const;
  // The song's phrases a take of one loaded phrase stands for (a course's chain), for the
  // caption; first > last: the phrase is the song's own.
  void SetPhraseSpan(int32_t first, int32_t last);
  // What to do about the input's level after the last try: empty when it was fine.
  QString LevelAdvice() const;
  // The notes as they are drawn at the panel's present size.
  std::vector<NoteView> NoteViews() const;

 signals:
  // The learner chose how strictly to judge.
  void ToleranceChosen(listening::Tolerance tolerance);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  // The phrase `row` as the ear judges it, over a take of lengthMs.
  void ShowPhrase(int32_t row, int32_t lengthMs);
  void RefreshHistory();
  void PlaceCourse();
  void PaintRoll(QPainter& painter, const QRectF& area);
  void PaintSungLine(QPainter& painter, const QRectF& area);
  // The roll's plotting area and its pitch range in MIDI keys.
  QRectF PlotArea() const;
  double XOf(double timeMs) const;
  double YOf(double midiCents) const;
  // Writes the song's syllables under the bars of `views`, the targets' in order.
  void LaySyllables(std::vector<NoteView>& views) const;

  void StartMeter();
  void StopMeter();

  const CPlayer& player_;

  ListeningEar* ear_ = nullptr;
  CRangeStrip* rangeStrip_ = nullptr;  // a child widget
  CCoursePane* course_ = nullptr;      // a child widget
  QTimer poll_;
  QTimer meter_;
  double meterDb_ = listening::kSilentDb;
  bool clipShown_ = false;
  CToleranceBox* toleranceBox_ = nullptr;  // a child widget
  CHistoryChart* historyChart_ = nullptr;  // a child widget, shown with a history source
  int32_t row_ = -1;
  int32_t spanFirst_ = 0;  // SetPhraseSpan
  int32_t spanLast_ = -1;
  int32_t lengthMs_ = 0;  // the take's length: the phrase and its grace
  int32_t lowKey_ = 60;   // the lowest and highest keys shown
  int32_t highKey_ = 72;
  std::vector<listening::TargetNote> targets_;
  std::vector<listening::PitchFrame> sung_;
  bool judged_ = false;
  listening::TakeJudgement judgement_;
  HistorySource historySource_;
  std::shared_ptr<const Song> song_;
};
