#include "panel/RangeStrip.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <exception>
#include <stdexcept>
#include <utility>

#include "listening/VoiceRangeText.h"

namespace {

QString NoteText(int32_t key) { return QString::fromStdString(listening::NoteName(key)); }

QString VoiceRangeLabel(const VoiceRange& range) {
  return NoteText(range.low) + QStringLiteral("–") + NoteText(range.high);
}

}  // namespace

CRangeStrip::CRangeStrip(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("rangeStrip"));
  auto* rows = new QVBoxLayout(this);
  rows->setContentsMargins(8, 4, 8, 2);
  rows->setSpacing(2);
  auto* top = new QHBoxLayout;
  rangeLabel_ = new QLabel(this);
  rangeLabel_->setObjectName(QStringLiteral("rangeLabel"));
  sing_ = new QPushButton(this);
  sing_->setObjectName(QStringLiteral("rangeSing"));
  sing_->setAutoDefault(false);
  edit_ = new QLineEdit(this);
  edit_->setObjectName(QStringLiteral("rangeEdit"));
  edit_->setPlaceholderText(QStringLiteral("如 A2-E4"));
  edit_->setMaximumWidth(90);
  set_ = new QPushButton(QStringLiteral("设定"), this);
  set_->setAutoDefault(false);
  clear_ = new QPushButton(QStringLiteral("清除"), this);
  clear_->setObjectName(QStringLiteral("rangeClear"));
  clear_->setAutoDefault(false);
  top->addWidget(rangeLabel_, 1);
  top->addWidget(sing_);
  top->addWidget(edit_);
  top->addWidget(set_);
  top->addWidget(clear_);
  rows->addLayout(top);
  auto* bottom = new QHBoxLayout;
  live_ = new QLabel(this);
  live_->setObjectName(QStringLiteral("rangeLive"));
  notice_ = new QLabel(this);
  notice_->setObjectName(QStringLiteral("rangeNotice"));
  notice_->setWordWrap(false);
  bottom->addWidget(live_);
  bottom->addWidget(notice_, 1);
  rows->addLayout(bottom);
  setFixedHeight(kHeight);

  connect(sing_, &QPushButton::clicked, this, &CRangeStrip::OnSingButton);
  connect(set_, &QPushButton::clicked, this, &CRangeStrip::OnTypedRange);
  connect(edit_, &QLineEdit::returnPressed, this, &CRangeStrip::OnTypedRange);
  connect(clear_, &QPushButton::clicked, this, &CRangeStrip::OnClear);
  poll_.setInterval(kPollMs);
  connect(&poll_, &QTimer::timeout, this, &CRangeStrip::Poll);
  Refresh();
}

CRangeStrip::~CRangeStrip() = default;

void CRangeStrip::SetSources(ListenerSource listen, RangeSink chosen) {
  listen_ = std::move(listen);
  chosen_ = std::move(chosen);
}

void CRangeStrip::ShowRange(const std::optional<VoiceRange>& range) {
  range_ = range;
  Refresh();
}

void CRangeStrip::OnSingButton() {
  if (!listener_) {
    try {
      if (!listen_) throw std::runtime_error("no sound input is available");
      listener_ = listen_();
    } catch (const std::exception& error) {
      Notice(QStringLiteral("无法听音：%1").arg(QString::fromLocal8Bit(error.what())), true);
      return;
    }
    heard_ = {};
    heldReadAtMs_ = -kHeldEveryMs;
    heldSoFar_.clear();
    heard_.hopMs = listener_->HopMs();
    Notice(QStringLiteral("从最低音慢慢唱到最高音，每个音唱稳，唱完按“停止”"), false);
    poll_.start();
    Refresh();
    return;
  }
  // Stop: what was held counts; the microphone goes at once.
  poll_.stop();
  Poll();
  listener_.reset();
  const listening::SungRange found = listening::FindSungRange(heard_);
  if (!found.Found()) {
    Notice(QStringLiteral("没有听到唱稳的音（每个音要唱 0.3 秒以上）：音域没有改动，请再唱一次。"),
           true);
  } else if (found.lowest == found.highest) {
    Notice(QStringLiteral("只唱稳了一个音 %1：请从最低音慢慢唱到最高音。音域没有改动。")
               .arg(NoteText(found.lowest)),
           true);
  } else {
    const VoiceRange sung{found.lowest, found.highest};
    Notice(QStringLiteral("唱出的音域：%1").arg(VoiceRangeLabel(sung)), false);
    Choose(sung);
  }
  Refresh();
}

void CRangeStrip::OnTypedRange() {
  const QString text = edit_->text().trimmed();
  std::string problem;
  const std::optional<VoiceRange> typed = listening::ParseVoiceRange(text.toStdString(), problem);
  if (!typed) {
    Notice(QStringLiteral("“%1”不是音域：请写最低音和最高音，低音在前，如 A2-E4。").arg(text),
           true);
    return;
  }
  edit_->clear();
  Notice({}, false);
  Choose(typed);
}

void CRangeStrip::OnClear() {
  Notice(QStringLiteral("音域已清除：按原调演奏。"), false);
  Choose(std::nullopt);
}

void CRangeStrip::Choose(const std::optional<VoiceRange>& range) {
  range_ = range;
  if (chosen_) chosen_(range_);
  Refresh();
}

void CRangeStrip::Poll() {
  if (!listener_) return;
  const size_t before = heard_.frames.size();
  listener_->FramesFrom(before, heard_.frames);
  if (heard_.frames.size() != before) Refresh();
}

void CRangeStrip::Notice(const QString& text, bool problem) {
  notice_->setText(text);
  notice_->setStyleSheet(problem ? QStringLiteral("color: rgb(210, 50, 40);") : QString());
}

QString CRangeStrip::RangeText() const { return rangeLabel_->text(); }
QString CRangeStrip::LiveText() const { return live_->text(); }
QString CRangeStrip::NoticeText() const { return notice_->text(); }

void CRangeStrip::Refresh() {
  rangeLabel_->setText(range_ ? QStringLiteral("音域：%1").arg(VoiceRangeLabel(*range_))
                              : QStringLiteral("音域：未设定（按原调）"));
  sing_->setText(listener_ ? QStringLiteral("停止") : QStringLiteral("唱音域"));
  clear_->setEnabled(range_.has_value() && !listener_);
  if (!listener_) {
    live_->clear();
    return;
  }
  // The note heard now (the median of the last 100 ms, steadier than a single frame), and the
  // lowest and highest held so far.
  constexpr double kLiveMs = 100.0;
  std::vector<double> recent;
  const std::vector<listening::PitchFrame>& frames = heard_.frames;
  for (auto frame = frames.rbegin();
       frame != frames.rend() && frame->timeMs > frames.back().timeMs - kLiveMs; ++frame)
    if (frame->voiced) recent.push_back(frame->midiCents);
  QString live = QStringLiteral("正在唱：—");
  if (!frames.empty() && frames.back().voiced && !recent.empty()) {
    std::nth_element(recent.begin(), recent.begin() + recent.size() / 2, recent.end());
    const double cents = recent[recent.size() / 2];
    live =
        QStringLiteral("正在唱：%1").arg(NoteText(static_cast<int32_t>(std::lround(cents / 100))));
  }
  // The whole take is read again, so not on every poll: a long one would hold the window up.
  if (!frames.empty() && frames.back().timeMs - heldReadAtMs_ >= kHeldEveryMs) {
    heldReadAtMs_ = frames.back().timeMs;
    const listening::SungRange sofar = listening::FindSungRange(heard_);
    heldSoFar_ =
        sofar.Found()
            ? QStringLiteral("　唱稳的：%1–%2").arg(NoteText(sofar.lowest), NoteText(sofar.highest))
            : QString();
  }
  live_->setText(live + heldSoFar_);
}
