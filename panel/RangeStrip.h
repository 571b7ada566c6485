#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "listening/Pitch.h"
#include "listening/RangeAnalysis.h"
#include "notation/VoiceRange.h"
#include "singback/PitchListener.h"

class QLabel;
class QLineEdit;
class QPushButton;

// The range exercise, a strip along the top of the sing-back panel: the singer's range as
// stored; a button that starts listening while the learner sings slowly from the lowest
// comfortable note to the highest (the note heard, and the lowest and highest held so far, shown
// live) and stops to keep what was found; a box to type a range ("A2-E4"); and a button that
// clears it.
class CRangeStrip : public QWidget {
  Q_OBJECT

 public:
  // How often the listener is asked for new pitch while the learner sings.
  static constexpr int kPollMs = 30;
  static constexpr int kHeight = 64;
  // How often, in time sung, the notes held so far are read again.
  static constexpr double kHeldEveryMs = 250.0;

  // Opens the microphone for the exercise; throws std::exception with the reason when it
  // cannot.
  using ListenerSource = std::function<std::unique_ptr<PitchListener>()>;
  // Told each range the learner settles on (sung, typed or cleared: none).
  using RangeSink = std::function<void(const std::optional<VoiceRange>&)>;

  explicit CRangeStrip(QWidget* parent = nullptr);
  ~CRangeStrip() override;

  // Where the microphone comes from and where a chosen range goes.
  void SetSources(ListenerSource listen, RangeSink chosen);

  // Shows `range` as the stored one (without telling the sink).
  void ShowRange(const std::optional<VoiceRange>& range);

  // The buttons' commands.
  void OnSingButton();  // starts the exercise, or stops it and keeps what was found
  void OnTypedRange();  // the box's text as the range
  void OnClear();

  // Takes the frames heard since the last poll (the timer does this while listening).
  void Poll();

  bool Listening() const { return listener_ != nullptr; }
  const std::optional<VoiceRange>& Range() const { return range_; }
  // What the strip says: the stored range, the note heard live, the outcome of the last try.
  QString RangeText() const;
  QString LiveText() const;
  QString NoticeText() const;
  QPushButton* SingButton() const { return sing_; }
  QPushButton* ClearButton() const { return clear_; }
  QLineEdit* RangeEdit() const { return edit_; }

 private:
  void Choose(const std::optional<VoiceRange>& range);
  void Notice(const QString& text, bool problem);
  void Refresh();

  ListenerSource listen_;
  RangeSink chosen_;
  std::optional<VoiceRange> range_;
  std::unique_ptr<PitchListener> listener_;
  listening::PitchTrack heard_;
  double heldReadAtMs_ = 0.0;  // the time sung when the held notes were last read
  QString heldSoFar_;          // what they said
  QTimer poll_;
  QLabel* rangeLabel_ = nullptr;
  QLabel* live_ = nullptr;
  QLabel* notice_ = nullptr;
  QPushButton* sing_ = nullptr;
  QLineEdit* edit_ = nullptr;
  QPushButton* set_ = nullptr;
  QPushButton* clear_ = nullptr;
};
