#include "panel/CoursePane.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include "panel/CourseStepList.h"
#include "panel/CourseStrip.h"
#include "playback/PracticeTempo.h"

CCoursePane::CCoursePane(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("coursePane"));
  learn_ = new QPushButton(QStringLiteral("学唱整首"), this);
  learn_->setObjectName(QStringLiteral("learnSongButton"));
  learn_->setToolTip(QStringLiteral("按今天的课程学这首歌：复习、学新句、连唱、唱全曲"));
  learn_->setAutoDefault(false);
  connect(learn_, &QPushButton::clicked, this, &CCoursePane::LearnSongPressed);

  auto* tempoLabel = new QLabel(QStringLiteral("速度"), this);
  tempo_ = new QSpinBox(this);
  tempo_->setObjectName(QStringLiteral("tempoBox"));
  tempo_->setRange(kSlowestTempoPercent, kFastestTempoPercent);
  tempo_->setSingleStep(10);
  tempo_->setValue(kWrittenTempoPercent);
  tempo_->setSuffix(QStringLiteral(" %"));
  tempo_->setToolTip(QStringLiteral("播放和跟唱的速度，原速的百分之几"));
  tempoLabel->setBuddy(tempo_);
  connect(tempo_, &QSpinBox::valueChanged, this,
          [this](int percent) { emit TempoChosen(static_cast<int32_t>(percent)); });

  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("courseStatus"));
  strip_ = new CCourseStrip(this);
  steps_ = new CCourseStepList(this);

  auto* row = new QHBoxLayout;
  row->addWidget(learn_);
  row->addWidget(status_, 1);
  row->addWidget(tempoLabel);
  row->addWidget(tempo_);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(8, 4, 8, 4);
  column->setSpacing(4);
  column->addLayout(row);
  column->addWidget(strip_);
  column->addWidget(steps_, 1);
}

int32_t CCoursePane::TempoPercent() const { return static_cast<int32_t>(tempo_->value()); }

void CCoursePane::SetTempoPercent(int32_t percent) {
  const QSignalBlocker quiet(tempo_);
  tempo_->setValue(percent);
}

void CCoursePane::SetStatus(const QString& text) { status_->setText(text); }

QString CCoursePane::Status() const { return status_->text(); }
