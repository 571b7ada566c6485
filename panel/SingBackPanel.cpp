#include "panel/SingBackPanel.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "notation/Score.h"
#include "notation/SongWords.h"
#include "panel/CoursePane.h"
#include "panel/LevelMeter.h"
#include "panel/RangeStrip.h"
#include "panel/RollSyllables.h"
#include "panel/SingBackStyle.h"
#include "panel/ToleranceBox.h"
#include "playback/Player.h"
#include "singback/ListeningEar.h"

namespace {

// Margins of the roll: key names on the left, the caption above, the marks over the bars.
constexpr double kLeftMargin = kSingBackLeftMargin;
constexpr double kRightMargin = kSingBackRightMargin;
constexpr double kTopMargin = 52.0;
constexpr double kBottomMargin = 12.0;
// Keys shown at least, and beyond the phrase's lowest and highest note.
constexpr int32_t kLeastKeys = 12;
constexpr int32_t kKeysAround = 2;
// Frames further apart than this break the sung line: the learner stopped between them.
constexpr double kLineGapMs = 40.0;
// The level meter's line below the caption, and how fast its bar falls back (20 dB a second).
constexpr double kMeterTop = 28.0;
constexpr double kMeterHeight = 10.0;
constexpr double kMeterWidth = 120.0;
constexpr double kMeterFallDb = 20.0 * CSingBackPanel::kPollMs / 1000.0;

QString Db(double db) { return QString::number(db, 'f', 0); }

QString CentsMark(const listening::NoteJudgement& note) {
  if (note.verdict == listening::Verdict::kNotSung) return QStringLiteral("—");
  const long cents = std::lround(note.cents);
  return cents > 0 ? QStringLiteral("+%1").arg(cents) : QString::number(cents);
}

}  // namespace

CSingBackPanel::CSingBackPanel(const CPlayer& player, QWidget* parent)
    : QWidget(parent, Qt::Window), player_(player) {
  setWindowTitle(QStringLiteral("跟唱模式"));
  setObjectName(QStringLiteral("singBackPanel"));
  setMinimumSize(420, 240 + CRangeStrip::kHeight + CCoursePane::kHeight);
  rangeStrip_ = new CRangeStrip(this);
  course_ = new CCoursePane(this);
  resize(560, 450 + CRangeStrip::kHeight + CCoursePane::kHeight);
  poll_.setInterval(kPollMs);
  connect(&poll_, &QTimer::timeout, this, &CSingBackPanel::PollEar);
  meter_.setInterval(kPollMs);
  connect(&meter_, &QTimer::timeout, this, &CSingBackPanel::PollLevel);

  toleranceBox_ = new CToleranceBox(this);
  connect(toleranceBox_, &CToleranceBox::ToleranceChosen, this, &CSingBackPanel::ToleranceChosen);
  historyChart_ = new CHistoryChart(this);
  historyChart_->hide();
}

listening::Tolerance CSingBackPanel::Tolerance() const { return toleranceBox_->Tolerance(); }

void CSingBackPanel::SetTolerance(listening::Tolerance tolerance) {
  toleranceBox_->SetTolerance(tolerance);
}

void CSingBackPanel::resizeEvent(QResizeEvent* event) {
  rangeStrip_->setGeometry(0, 0, width(), CRangeStrip::kHeight);
  const QSize box = toleranceBox_->sizeHint();
  toleranceBox_->setGeometry(width() - static_cast<int>(kRightMargin) - box.width(),
                             CRangeStrip::kHeight + 2, box.width(), box.height());
  historyChart_->setGeometry(0, height() - CHistoryChart::kHeight, width(), CHistoryChart::kHeight);
  PlaceCourse();
  QWidget::resizeEvent(event);
}

void CSingBackPanel::PlaceCourse() {
  const int strip = historySource_ ? CHistoryChart::kHeight : 0;
  course_->setGeometry(0, height() - strip - CCoursePane::kHeight, width(), CCoursePane::kHeight);
}

void CSingBackPanel::SetEar(ListeningEar* ear) {
  ear_ = ear;
  if (ear_ == nullptr) {
    poll_.stop();
    StopMeter();
  } else {
    StartMeter();
  }
}

void CSingBackPanel::StartMeter() {
  if (ear_ == nullptr) return;
  ear_->ReadInputLevel();  // what it heard before is not shown
  meter_.start();
}

void CSingBackPanel::StopMeter() {
  meter_.stop();
  meterDb_ = listening::kSilentDb;
  update();
}

void CSingBackPanel::PollLevel() {
  if (ear_ == nullptr) return;
  const InputLevel level = ear_->ReadInputLevel();
  // The bar follows a rise at once and falls back slowly, so that a peak can be read.
  meterDb_ = std::max(level.peakDb, meterDb_ - kMeterFallDb);
  if (level.clipped) clipShown_ = true;
  update();
}

void CSingBackPanel::SetHistorySource(HistorySource source) {
  historySource_ = std::move(source);
  historyChart_->setGeometry(0, height() - CHistoryChart::kHeight, width(), CHistoryChart::kHeight);
  historyChart_->setVisible(static_cast<bool>(historySource_));
  PlaceCourse();
  RefreshHistory();
}

void CSingBackPanel::RefreshHistory() {
  historyChart_->SetView(historySource_ && row_ >= 0 ? historySource_(row_) : HistoryView{});
}

void CSingBackPanel::SetSong(std::shared_ptr<const Song> song) {
  song_ = std::move(song);
  update();
}

void CSingBackPanel::Reset() {
  poll_.stop();
  row_ = -1;
  targets_.clear();
  sung_.clear();
  judged_ = false;
  judgement_ = {};
  historyChart_->SetView({});
  clipShown_ = false;
  update();
}

void CSingBackPanel::ShowPhrase(int32_t row, int32_t lengthMs) {
  if (ear_ == nullptr || row < 0 || row >= player_.LoadedScore().phraseCount) return;
  row_ = row;
  targets_ = ear_->TargetsOf(row);
  lengthMs_ = lengthMs;
  sung_.clear();
  judged_ = false;
  judgement_ = {};
  if (targets_.empty()) {
    lowKey_ = 60;
    highKey_ = 60 + kLeastKeys;
  } else {
    const auto [low, high] =
        std::minmax_element(targets_.begin(), targets_.end(),
                            [](const listening::TargetNote& a, const listening::TargetNote& b) {
                              return a.pitch < b.pitch;
                            });
    lowKey_ = low->pitch - kKeysAround;
    highKey_ = std::max(high->pitch + kKeysAround, lowKey_ + kLeastKeys);
  }
  RefreshHistory();
}

void CSingBackPanel::OnPlayerNotification(const PlayerNotification& n) {
  switch (n.kind) {
    case PlayerNotification::kPassBegins:
      // The phrase plays first. The last try's verdicts stay in view until the learner sings
      // again; with none to show, the phrase is shown as it plays.
      if (player_.Position().mode == SingBackMode && !judged_ && n.row != row_)
        ShowPhrase(n.row, player_.TakeLengthMs());
      break;
    case PlayerNotification::kCueBegins:
      // The learner may set the microphone while the cue sounds: the meter runs afresh.
      if (player_.Position().mode == SingBackMode) {
        clipShown_ = false;
        if (!meter_.isActive()) StartMeter();
      }
      break;
    case PlayerNotification::kListeningBegins:
      ShowPhrase(n.row, n.lengthMs);
      if (ear_ != nullptr) poll_.start();
      update();
      break;
    case PlayerNotification::kListeningEnds:
      // The verdicts came with the judgement; the last frames of the take are drawn now.
      poll_.stop();
      PollEar();
      StopMeter();
      update();
      break;
    case PlayerNotification::kStopped:
      poll_.stop();
      StopMeter();
      update();
      break;
    default:
      break;
  }
}

void CSingBackPanel::TakeJudged(int32_t row, const listening::TakeJudgement& judgement) {
  if (row != row_) return;
  judgement_ = judgement;
  judged_ = true;
  RefreshHistory();
}

void CSingBackPanel::PollEar() {
  if (ear_ == nullptr) return;
  const size_t before = sung_.size();
  ear_->TakeFramesFrom(before, sung_);
  if (sung_.size() != before) update();
}

QRectF CSingBackPanel::PlotArea() const {
  const double strip =
      (historySource_ ? CHistoryChart::kHeight : 0.0) + static_cast<double>(CCoursePane::kHeight);
  const double top = CRangeStrip::kHeight + kTopMargin;
  return QRectF(kLeftMargin, top, std::max(1.0, width() - kLeftMargin - kRightMargin),
                std::max(1.0, height() - top - kBottomMargin - strip));
}

QString CSingBackPanel::Caption() const {
  QString caption = row_ < 0 ? QStringLiteral("跟唱模式")
                    : spanLast_ > spanFirst_
                        ? QStringLiteral("第 %1–%2 句").arg(spanFirst_ + 1).arg(spanLast_ + 1)
                        : QStringLiteral("第 %1 句").arg(row_ + 1);
  if (!judged_) {
    // The learner's turn, said where the learner is looking.
    const PlayerPosition at = player_.Position();
    const bool listening =
        at.playing && at.mode == SingBackMode && at.phase == PlayerPhase::kListening && row_ >= 0;
    return listening ? caption + QStringLiteral("：请唱") : caption;
  }
  if (judgement_.TooQuiet()) return caption + QStringLiteral("：声音太小，没有评判");
  if (judgement_.nothingHeard) return caption + QStringLiteral("：没有听到声音");
  return caption +
         QStringLiteral("：%1 / %2 个音唱准").arg(judgement_.hits).arg(judgement_.Judged());
}

void CSingBackPanel::SetPhraseSpan(int32_t first, int32_t last) {
  spanFirst_ = first;
  spanLast_ = last;
  update();
}

QString CSingBackPanel::LevelAdvice() const {
  if (!judged_) return {};
  const listening::TakeLevel& level = judgement_.level;
  if (level.verdict == listening::LevelVerdict::kTooQuiet)
    return QStringLiteral(
               "声音太小（最响 %1 dBFS，只比噪声高 %2 dB）：请靠近麦克风，或调高输入音量")
        .arg(Db(level.peakDb))
        .arg(Db(std::max(0.0, level.SignalToNoiseDb())));
  if (level.verdict == listening::LevelVerdict::kOverloaded)
    return QStringLiteral("输入过载（%1 个采样削波）：请离麦克风远一点，或调低输入音量")
        .arg(level.clippedSamples);
  return {};
}

double CSingBackPanel::XOf(double timeMs) const {
  const QRectF area = PlotArea();
  return area.left() + area.width() * timeMs / std::max(1, lengthMs_);
}

double CSingBackPanel::YOf(double midiCents) const {
  // Each key is a row; a key's middle is its pitch.
  const QRectF area = PlotArea();
  const double rows = highKey_ - lowKey_ + 1;
  return area.bottom() - area.height() * (midiCents / 100.0 - lowKey_ + 0.5) / rows;
}

std::vector<CSingBackPanel::NoteView> CSingBackPanel::NoteViews() const {
  const double rowHeight = PlotArea().height() / (highKey_ - lowKey_ + 1);
  std::vector<NoteView> views;
  views.reserve(targets_.size());
  for (size_t i = 0; i < targets_.size(); ++i) {
    const listening::TargetNote& target = targets_[i];
    NoteView view;
    const double left = XOf(target.startMs);
    const double top = YOf(100.0 * target.pitch) - rowHeight / 2;
    view.bar = QRectF(left, top, std::max(2.0, XOf(target.endMs) - left - 1), rowHeight);
    view.colour = kWaitingColour;
    // A take too quiet to judge leaves the notes as they were: the advice says why.
    if (judged_ && !judgement_.TooQuiet() && i < judgement_.notes.size()) {
      const listening::NoteJudgement& note = judgement_.notes[i];
      view.colour = note.verdict == listening::Verdict::kHit ? kHitColour : kMissedColour;
      view.mark = CentsMark(note);
    }
    views.push_back(view);
  }
  if (song_) LaySyllables(views);
  return views;
}

void CSingBackPanel::LaySyllables(std::vector<NoteView>& views) const {
  const QFontMetricsF metrics(font());
  const auto syllableOf = [this](size_t i) {
    return song_->SyllableAt(row_, targets_[i].index, 0);
  };
  const auto heldAt = [&](size_t i) {
    const Syllable* syllable = syllableOf(i);
    return syllable != nullptr && syllable->held;
  };
  // Each syllable centred under its bar, its room reaching to the next note that takes a
  // syllable of its own (over the notes it is held on); a held syllable's line from where the
  // text before it ends.
  double textRight = 0.0;
  for (size_t i = 0; i < views.size(); ++i) {
    const Syllable* syllable = syllableOf(i);
    if (syllable == nullptr) continue;
    NoteView& view = views[i];
    const double top = view.bar.bottom() + 1;
    view.held = syllable->held;
    if (view.held) {
      const double from = std::max(view.bar.left(), textRight + 2);
      view.syllableBox =
          QRectF(from, top, std::max(0.0, view.bar.right() - from), metrics.height());
      continue;
    }
    size_t next = i + 1;
    while (next < views.size() && heldAt(next)) ++next;
    const double right = next < views.size() ? views[next].bar.left() : PlotArea().right();
    const FittedSyllable fitted =
        FitSyllable(QString::fromStdString(syllable->text), metrics, view.bar.center().x(),
                    view.bar.left(), std::max(right, view.bar.right()), top);
    view.syllable = fitted.text;
    view.syllableBox = fitted.box;
    textRight = fitted.text.isEmpty() ? view.bar.left() : fitted.box.right();
  }
}

void CSingBackPanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(rect(), Qt::white);
  const QRectF area = PlotArea();

  // The caption: which phrase, and after a try how it went; beside the box of tolerances.
  const double captionWidth = std::max(1.0, toleranceBox_->x() - kLeftMargin - 8.0);
  painter.setPen(Qt::black);
  painter.drawText(
      QRectF(kLeftMargin, CRangeStrip::kHeight + 2, captionWidth, 22),
      Qt::AlignLeft | Qt::AlignVCenter,
      painter.fontMetrics().elidedText(Caption(), Qt::ElideRight, static_cast<int>(captionWidth)));
  // Below it the microphone's level, and what to do when the last take's was wrong.
  painter.setPen(Qt::darkGray);
  painter.drawText(
      QRectF(0, CRangeStrip::kHeight + kMeterTop - 4, kLeftMargin - 4, kMeterHeight + 8),
      Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("音量"));
  PaintLevelMeter(painter,
                  QRectF(kLeftMargin, CRangeStrip::kHeight + kMeterTop, kMeterWidth, kMeterHeight),
                  meterDb_, clipShown_);
  const QString advice = LevelAdvice();
  if (!advice.isEmpty()) {
    const double left = kLeftMargin + kMeterWidth + 10.0;
    const double adviceWidth = std::max(1.0, width() - left - kRightMargin);
    painter.setPen(kMissedColour);
    painter.drawText(
        QRectF(left, CRangeStrip::kHeight + kMeterTop - 4, adviceWidth, kMeterHeight + 8),
        Qt::AlignLeft | Qt::AlignVCenter,
        painter.fontMetrics().elidedText(advice, Qt::ElideRight, static_cast<int>(adviceWidth)));
  }

  PaintRoll(painter, area);
  PaintSungLine(painter, area);
}

void CSingBackPanel::PaintRoll(QPainter& painter, const QRectF& area) {
  // One row per key, the C rows darker; each C and each key of the phrase named.
  const double rowHeight = area.height() / (highKey_ - lowKey_ + 1);
  for (int32_t key = lowKey_; key <= highKey_; ++key) {
    const double middle = YOf(100.0 * key);
    const bool black = (0x54A >> (key % 12)) & 1;  // C#, D#, F#, G#, A#
    if (black)
      painter.fillRect(QRectF(area.left(), middle - rowHeight / 2, area.width(), rowHeight),
                       QColor(244, 244, 248));
    painter.setPen(key % 12 == 0 ? QColor(170, 170, 180) : QColor(225, 225, 230));
    painter.drawLine(QPointF(area.left(), middle + rowHeight / 2),
                     QPointF(area.right(), middle + rowHeight / 2));
    const bool sungKey =
        std::any_of(targets_.begin(), targets_.end(),
                    [key](const listening::TargetNote& t) { return t.pitch == key; });
    if (key % 12 == 0 || sungKey) {
      painter.setPen(Qt::darkGray);
      painter.drawText(QRectF(0, middle - 8, kLeftMargin - 4, 16),
                       Qt::AlignRight | Qt::AlignVCenter,
                       QString::fromStdString(listening::NoteName(key)));
    }
  }
  painter.setPen(QColor(170, 170, 180));
  painter.drawRect(area);

  // The target notes as bars, with their marks above them after a try and their syllables (or
  // a held syllable's line) below.
  for (const NoteView& view : NoteViews()) {
    painter.setPen(Qt::black);
    if (!view.syllable.isEmpty())
      painter.drawText(view.syllableBox, Qt::AlignCenter | Qt::TextSingleLine, view.syllable);
    if (view.held && view.syllableBox.width() > 0) {
      const double y = view.syllableBox.top() + painter.fontMetrics().ascent();
      painter.drawLine(QPointF(view.syllableBox.left(), y), QPointF(view.syllableBox.right(), y));
    }
    painter.setPen(view.colour.darker(130));
    painter.setBrush(view.colour);
    painter.drawRoundedRect(view.bar, 2, 2);
    if (!view.mark.isEmpty()) {
      painter.setPen(view.colour.darker(150));
      painter.drawText(QRectF(view.bar.left() - 20, view.bar.top() - 18, view.bar.width() + 40, 16),
                       Qt::AlignHCenter | Qt::AlignBottom, view.mark);
    }
  }
}

void CSingBackPanel::PaintSungLine(QPainter& painter, const QRectF& area) {
  // The sung pitch as a line, each frame in the octave nearest the roll's middle (a voice an
  // octave above the score is judged in the score's octave); broken where nothing was sung.
  const double middleCents = 50.0 * (lowKey_ + highKey_);
  QPainterPath line;
  bool drawing = false;
  double lastMs = 0.0;
  for (const listening::PitchFrame& frame : sung_) {
    if (!frame.voiced) {
      drawing = false;
      continue;
    }
    const double cents =
        middleCents + listening::FoldToNearestOctave(frame.midiCents - middleCents);
    const QPointF point(XOf(frame.timeMs), YOf(cents));
    if (drawing && frame.timeMs - lastMs <= kLineGapMs)
      line.lineTo(point);
    else
      line.moveTo(point);
    drawing = true;
    lastMs = frame.timeMs;
  }
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(QColor(30, 60, 200), 2.0));
  painter.setClipRect(area);
  painter.drawPath(line);
}
