#include "window/SingBackSession.h"

#include <QObject>
#include <QSettings>
#include <QTimer>

#include "history/PracticeTime.h"
#include "history/ScoreIdentity.h"
#include "history/WallClock.h"
#include "listening/VoiceRangeText.h"
#include "notation/SongWords.h"
#include "panel/CoursePane.h"
#include "panel/RangeStrip.h"
#include "playback/Player.h"
#include "playback/QuietLoad.h"
#include "singback/ListeningEar.h"
#include "singback/PitchListener.h"
#include "window/UserSettings.h"

namespace {

const char kRangeSetting[] = "voice/range";

// Calls back when playback stops: a pause, the end of the exercise, another mode.
class CStopWatcher : public PlayerObserver {
 public:
  explicit CStopWatcher(std::function<void()> onStop) : onStop_(std::move(onStop)) {}
  void OnPlayerNotification(const PlayerNotification& n) override {
    if (n.kind == PlayerNotification::kStopped) onStop_();
  }

 private:
  std::function<void()> onStop_;
};

}  // namespace

CSingBackSession::CSingBackSession(CPlayer& player, CSingBackPanel& panel, QObject& context,
                                   Seams seams)
    : player_(player), panel_(panel), context_(context), seams_(std::move(seams)) {
  panel_.SetHistorySource([this](int32_t row) { return PhraseHistory(row); });
  panel_.RangeStrip().SetSources(
      [this] {
        // The learner sings alone: whatever plays stops first.
        player_.OnPause();
        return seams_.createRangeListener();
      },
      [this](const std::optional<VoiceRange>& range) { OnRangeChosen(range); });
  LoadStoredRange();
  LoadStoredTolerance();
  QObject::connect(&panel_, &CSingBackPanel::ToleranceChosen, &context_,
                   [this](listening::Tolerance chosen) { OnToleranceChosen(chosen); });
  QObject::connect(&panel_.Course(), &CCoursePane::TempoChosen, &context_,
                   [this](int32_t percent) { OnTempoChosen(percent); });
  // Queued: a stop is often followed at once by a new start (the button pressed again).
  earRelease_ = std::make_unique<CStopWatcher>(
      [this] { QTimer::singleShot(0, &context_, [this] { ReleaseEarWhenStopped(); }); });
  player_.AddObserver(earRelease_.get());
}

CSingBackSession::~CSingBackSession() {
  player_.RemoveObserver(earRelease_.get());
  // A take may be running: the player lets go of the ear before it stops listening.
  player_.SetEar(nullptr);
}

void CSingBackSession::SetScore(std::string text, std::string file) {
  scoreText_ = std::move(text);
  scoreFile_ = std::move(file);
  // The text as the player parsed it: up to its first zero byte.
  song_ = std::make_shared<const Song>(ReadSong(scoreText_.c_str(), player_.LoadedScore()));
  panel_.SetSong(song_);
}

bool CSingBackSession::OpenEar() {
  if (ear_) return true;
  try {
    ear_ = seams_.createEar();
  } catch (const std::exception& error) {
    seams_.warn(QStringLiteral("%1\n\n跟唱模式要听你唱：请接上麦克风，或在声音设置里选好输入设备。")
                    .arg(QString::fromLocal8Bit(error.what())));
    return false;
  }
  ear_->SetTolerance(panel_.Tolerance());
  player_.SetEar(ear_.get());
  panel_.SetEar(ear_.get());
  // Each judged try is kept first, so that the panel's history shows it too.
  ear_->SetJudgementSink([this](int32_t row, const listening::TakeJudgement& judgement) {
    if (keeper_)
      keeper_(row, judgement);
    else
      RecordTry(row, judgement);
    panel_.TakeJudged(row, judgement);
  });
  return true;
}

void CSingBackSession::Start() {
  panel_.Reset();
  player_.OnSingBack();
}

bool CSingBackSession::ReadyToContinue() {
  const PlayerPosition at = player_.Position();
  return at.mode != SingBackMode || at.playing || player_.SingBackOver() || OpenEar();
}

void CSingBackSession::ReleaseEarWhenStopped() {
  if (!ear_ || player_.Position().playing) return;
  player_.SetEar(nullptr);
  panel_.SetEar(nullptr);
  ear_.reset();
}

history::CPracticeHistory& CSingBackSession::Practice() {
  if (!practice_)
    practice_ = std::make_unique<history::CPracticeHistory>(
        seams_.historyPath(), [this] { return seams_.wallNow(); },
        [this](const std::string& notice) { practiceNotice_ = notice; });
  return *practice_;
}

void CSingBackSession::RecordTry(int32_t row, const listening::TakeJudgement& judgement) {
  history::TakeContext context;
  context.scoreText = scoreText_;
  context.scoreFile = scoreFile_;
  context.takeMs = player_.TakeLengthMs();
  context.transpose = player_.PhraseShift(row);
  context.range = player_.Range();
  context.tempoPercent = player_.TempoPercent();
  context.source = "window";
  // A take too quiet to judge gives no try to keep: the panel says what to do.
  if (const std::optional<history::TryRecord> tried =
          history::TryRecordOf(player_.LoadedScore(), row, judgement, context))
    Practice().Record(*tried);
}

int64_t CSingBackSession::Today() const { return history::LocalDay(seams_.wallNow()); }

void CSingBackSession::OnTempoChosen(int32_t percent) {
  player_.OnPause();
  player_.SetTempoPercent(percent);
  // The same text again: what the box follows and the history knows stay as they are.
  if (!scoreText_.empty()) LoadQuietly(player_, scoreText_);
}

HistoryView CSingBackSession::PhraseHistory(int32_t row) {
  constexpr int64_t kWeekMs = 7 * 24 * 3600 * 1000LL;
  HistoryView view;
  const std::string hash = history::ScoreHash(scoreText_);
  try {
    history::CPracticeHistory& practice = Practice();
    const int64_t since = practice.Now().unixMs - kWeekMs;
    practice.With([&](history::CPracticeStore& store) {
      view.progress = store.ProgressOf(hash, row);
      view.weekPracticeMs = history::PracticeMs(store.TakesSince(since));
    });
    view.shown = true;
  } catch (const history::PracticeStoreError& error) {
    practiceNotice_ = std::string("练习记录无法读取：") + error.what();
  }
  // A complaint is shown once, with the next view of the history.
  view.notice = QString::fromStdString(practiceNotice_);
  practiceNotice_.clear();
  return view;
}

void CSingBackSession::LoadStoredRange() {
  const std::string stored =
      OpenUserSettings()->value(QString::fromLatin1(kRangeSetting)).toString().toStdString();
  std::string problem;
  // A setting that does not read as a range (edited by hand) is as none.
  const std::optional<VoiceRange> range =
      stored.empty() ? std::nullopt : listening::ParseVoiceRange(stored, problem);
  player_.SetRange(range);
  panel_.RangeStrip().ShowRange(range);
}

void CSingBackSession::OnRangeChosen(const std::optional<VoiceRange>& range) {
  // Playback stops, so that what plays next, and every try judged, is at the new range.
  player_.OnPause();
  player_.SetRange(range);
  const std::unique_ptr<QSettings> settings = OpenUserSettings();
  if (range)
    settings->setValue(QString::fromLatin1(kRangeSetting),
                       QString::fromStdString(listening::VoiceRangeText(*range)));
  else
    settings->remove(QString::fromLatin1(kRangeSetting));
  settings->sync();
}

void CSingBackSession::LoadStoredTolerance() {
  // How strictly sing-back judges is the learner's choice, kept between runs.
  listening::Tolerance tolerance = listening::Tolerance::kNormal;
  if (listening::ParseTolerance(
          OpenUserSettings()->value(kToleranceSetting).toString().toStdString(), tolerance))
    panel_.SetTolerance(tolerance);
}

void CSingBackSession::OnToleranceChosen(listening::Tolerance tolerance) {
  OpenUserSettings()->setValue(kToleranceSetting,
                               QString::fromUtf8(listening::ToleranceName(tolerance)));
  if (ear_) ear_->SetTolerance(tolerance);
}
