#include "window/FirstPaint.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace {

// Watches one widget for its first paint, then hands `run` to the event loop and goes.
class CFirstPaintWatcher : public QObject {
 public:
  CFirstPaintWatcher(QWidget* widget, std::function<void()> run)
      : QObject(widget), widget_(widget), run_(std::move(run)) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == widget_ && event->type() == QEvent::Paint) {
      widget_->removeEventFilter(this);
      // After the paint has reached the screen and the loop is free again.
      QTimer::singleShot(0, widget_, std::move(run_));
      deleteLater();
    }
    return false;
  }

 private:
  QWidget* widget_;
  std::function<void()> run_;
};

}  // namespace

void RunAfterFirstPaint(QWidget* widget, std::function<void()> run) {
  widget->installEventFilter(new CFirstPaintWatcher(widget, std::move(run)));
}
