#pragma once

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "history/PracticeStore.h"
#include "listening/PhraseTargets.h"
#include "listening/Pitch.h"
#include "listening/TakeJudge.h"
#include "listening/Tolerance.h"
#include "playback/PlayerNotification.h"
#include "singback/ListeningEar.h"

class CPlayer;
class CRangeStrip;
class QComboBox;
class QPainter;

// The sing-back exercise's window beside the dialog: the phrase as a piano roll (time across,
// pitch up) with its notes as bars, the pitch the learner sings as a line drawn live, and after
// each try every note coloured hit or missed and marked with its cents. Below the roll, from the
// practice history: the share of notes hit in every try of the phrase on a chart with its
// dates, the notes that miss most with their average error, and the last 7 days' practice.
// Above the roll: the range exercise and the singer's range (CRangeStrip); the microphone's
// level on a meter with a clip mark, live from the moment the microphone opens until the take
// ends; and the choice of how strictly notes are judged.
class CSingBackPanel : public QWidget, public PlayerObserver {
  Q_OBJECT

 public:
  // How often the ear is asked for new pitch, while a take runs only.
  static constexpr int kPollMs = 30;

  // One note as drawn: its bar in the panel's pixels, its colour and its mark.
  struct NoteView {
    QRectF bar;
    QColor colour;
    QString mark;  // "+12" cents after a try, "—" when not sung, empty before
  };

  // What the practice history says about a phrase: its tries, its most missed notes and the
  // time practised over the last 7 days; `notice` when the history could not be used.
  struct HistoryView {
    bool shown = false;  // there is a history to show
    history::PhraseProgress progress;
    int64_t weekPracticeMs = 0;
    QString notice;
  };
  using HistorySource = std::function<HistoryView(int32_t row)>;

  // The height of the history strip below the roll, when there is a history source.
  static constexpr int kHistoryHeight = 150;

  CSingBackPanel(const CPlayer& player, QWidget* parent = nullptr);

  // Where a panel of `size` (its frame) goes beside a dialog framed by `dialog` on `screen`:
  // to its right with a small gap, else to its left, else at the screen's right edge; never
  // beyond the screen where it fits.
  static QPoint PlaceBeside(const QRect& dialog, const QSize& size, const QRect& screen);

  // The ear whose pitch and notes are drawn; null for none. It must outlive its use here.
  // The level meter runs from here (the microphone has just opened) to the take's end, and
  // again from each cue.
  void SetEar(ListeningEar* ear);

  // How strictly the takes are judged, as chosen here; setting it tells no one.
  listening::Tolerance tolerance() const { return tolerance_; }
  void SetTolerance(listening::Tolerance tolerance);
  // The choice's box, for a test to choose with.
  QComboBox& toleranceBox() { return *toleranceBox_; }
  // The verdicts of a take, as the ear judged it (the ear's judgement sink forwards here).
  void TakeJudged(int32_t row, const listening::TakeJudgement& judgement);
  // Where the practice history of a phrase is asked for: when a phrase is shown and after each
  // try. Empty: no history strip.
  void SetHistorySource(HistorySource source);

  // Forgets the phrase and the try shown, for a new start of the mode.
  void Reset();

  // The range exercise along the panel's top.
  CRangeStrip& rangeStrip() const { return *rangeStrip_; }

  void OnPlayerNotification(const PlayerNotification& notification) override;

  // Takes the pitch frames the ear heard since the last poll (the timer does this).
  void PollEar();
  // Takes the input's level since the last look (the meter's timer does this).
  void PollLevel();

  // The state drawn.
  int32_t row() const { return row_; }
  const std::vector<listening::TargetNote>& targets() const { return targets_; }
  const std::vector<listening::PitchFrame>& sung() const { return sung_; }
  bool judged() const { return judged_; }
  const listening::TakeJudgement& judgement() const { return judgement_; }
  const HistoryView& historyView() const { return history_; }
  // The history chart's points (one per try, in time order) at the panel's present size, and
  // the labels of its date axis with their x.
  std::vector<QPointF> ChartPoints() const;
  std::vector<std::pair<double, QString>> ChartDates() const;
  bool polling() const { return poll_.isActive(); }
  bool metering() const { return meter_.isActive(); }
  // The level the meter shows, and whether its clip mark is lit.
  double meterDb() const { return meterDb_; }
  bool clipShown() const { return clipShown_; }
  // The caption above the roll.
  QString Caption() const;
  // What to do about the input's level after the last try: empty when it was fine.
  QString LevelAdvice() const;
  // The notes as they are drawn at the panel's present size.
  std::vector<NoteView> NoteViews() const;

  static const QColor kHitColour;
  static const QColor kMissedColour;
  static const QColor kWaitingColour;

 signals:
  // The learner chose how strictly to judge.
  void toleranceChosen(listening::Tolerance tolerance);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  // The phrase `row` as the ear judges it, over a take of lengthMs.
  void ShowPhrase(int32_t row, int32_t lengthMs);
  void RefreshHistory();
  QRectF ChartArea() const;
  void PaintHistory(QPainter& painter);
  // The roll's plotting area and its pitch range in MIDI keys.
  QRectF PlotArea() const;
  double XOf(double timeMs) const;
  double YOf(double midiCents) const;

  const CPlayer& player_;
  void StartMeter();
  void StopMeter();

  ListeningEar* ear_ = nullptr;
  CRangeStrip* rangeStrip_ = nullptr;  // a child widget
  QTimer poll_;
  QTimer meter_;
  double meterDb_ = listening::kSilentDb;
  bool clipShown_ = false;
  listening::Tolerance tolerance_ = listening::Tolerance::kNormal;
  QComboBox* toleranceBox_ = nullptr;
  int32_t row_ = -1;
  int32_t lengthMs_ = 0;  // the take's length: the phrase and its grace
  int32_t lowKey_ = 60;   // the lowest and highest keys shown
  int32_t highKey_ = 72;
  std::vector<listening::TargetNote> targets_;
  std::vector<listening::PitchFrame> sung_;
  bool judged_ = false;
  listening::TakeJudgement judgement_;
  HistorySource historySource_;
  HistoryView history_;
};
