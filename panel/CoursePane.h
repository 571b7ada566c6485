#pragma once

#include <QWidget>
#include <cstdint>

class CCourseStepList;
class CCourseStrip;
class QLabel;
class QPushButton;
class QSpinBox;

// The sing-back panel's course and tempo row, along its bottom: 学唱整首 (today's course of
// the loaded song), the practice tempo box, and while a course has been run, its phrases'
// strip, today's steps and the line said at its end.
class CCoursePane : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kHeight = 150;

  explicit CCoursePane(QWidget* parent = nullptr);

  // The tempo shown, in percent of the written one; setting it tells no one.
  int32_t TempoPercent() const;
  void SetTempoPercent(int32_t percent);
  // Where the course stands, in words: the step sung now, or the summary at the end.
  void SetStatus(const QString& text);
  QString Status() const;

  QPushButton& LearnButton() const { return *learn_; }
  QSpinBox& TempoBox() const { return *tempo_; }
  CCourseStrip& Strip() const { return *strip_; }
  CCourseStepList& Steps() const { return *steps_; }

 signals:
  void LearnSongPressed();
  // The learner chose another tempo, in percent.
  void TempoChosen(int32_t percent);

 private:
  QPushButton* learn_ = nullptr;
  QSpinBox* tempo_ = nullptr;
  QLabel* status_ = nullptr;
  CCourseStrip* strip_ = nullptr;
  CCourseStepList* steps_ = nullptr;
};
