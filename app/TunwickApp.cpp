#include "app/TunwickApp.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/AppIcon.h"
#include "app/DialogLayout.h"
#include "app/TunwickDlg.h"

CTunwickApp theApp;

namespace {

// For the start-up benchmark: with TUNWICK_REPORT_READY set, the moment the dialog is
// shown and idle is printed (wall-clock nanoseconds) on standard error; with the value
// "quit" the program then closes.
class CReadyReporter : public QObject {
 public:
  CReadyReporter(CTunwickDlg& dialog, bool quit) : dialog_(dialog), quit_(quit) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == &dialog_ && event->type() == QEvent::Paint && !reported_) {
      reported_ = true;
      // Reported once the first paint is done and the event loop is idle again.
      QTimer::singleShot(0, &dialog_, [this] {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        std::fprintf(stderr, "tunwick: ready %lld\n",
                     static_cast<long long>(
                         std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
        std::fflush(stderr);
        if (quit_) dialog_.reject();
      });
    }
    return false;
  }

 private:
  CTunwickDlg& dialog_;
  bool quit_;
  bool reported_ = false;
};

std::unique_ptr<CReadyReporter> ReportReadyWhenIdle(CTunwickDlg& dialog) {
  const char* report = std::getenv("TUNWICK_REPORT_READY");
  if (!report || !*report) return nullptr;
  auto reporter = std::make_unique<CReadyReporter>(dialog, std::strcmp(report, "quit") == 0);
  dialog.installEventFilter(reporter.get());
  return reporter;
}

}  // namespace

int CTunwickApp::InitInstance(int& argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
  QApplication::setApplicationVersion(QStringLiteral("1.0.0.1"));
  QApplication::setDesktopFileName(QStringLiteral("tunwick"));
  QApplication::setWindowIcon(TunwickIcon());

  std::unique_ptr<CTunwickDlg> dialog;
  try {
    dialog = std::make_unique<CTunwickDlg>();
  } catch (const std::exception& error) {
    QMessageBox::critical(nullptr, QStringLiteral("Error"), QString::fromLocal8Bit(error.what()));
    return EXIT_FAILURE;
  }
  const auto reporter = ReportReadyWhenIdle(*dialog);
  dialog->DoModal();
  if (reporter) dialog->removeEventFilter(reporter.get());
  dialog.reset();
  return EXIT_SUCCESS;
}
