#include "window/TunwickApp.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QSet>
#include <QTimer>
#include <QTranslator>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "window/AppIcon.h"
#include "window/DialogLayout.h"
#include "window/TunwickDlg.h"

CTunwickApp theApp;

namespace {

// For the start-up benchmark: with TUNWICK_REPORT_READY set, the moment the dialog is
// shown and idle is printed (wall-clock nanoseconds) on standard error, as is the moment
// a start-up message box is shown. With the value "dismiss" message boxes are answered at
// once; with "quit" they are, and the program closes once the dialog is ready.
void PrintMoment(const char* what) {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  std::fprintf(
      stderr, "tunwick: %s %lld\n", what,
      static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
  std::fflush(stderr);
}

class CReadyReporter : public QObject {
 public:
  CReadyReporter(bool dismiss, bool quit) : dismiss_(dismiss), quit_(quit) {}
  void Watch(CTunwickDlg* dialog) { dialog_ = dialog; }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Paint) return false;
    if (auto* box = qobject_cast<QMessageBox*>(watched); box && !boxes_.contains(box)) {
      boxes_.insert(box);
      PrintMoment("message-box");
      if (dismiss_) QTimer::singleShot(0, box, &QMessageBox::accept);
    } else if (dialog_ && watched == dialog_ && !reported_) {
      reported_ = true;
      // Reported once the first paint is done and the event loop is idle again.
      QTimer::singleShot(0, dialog_, [this] {
        PrintMoment("ready");
        if (quit_) dialog_->reject();
      });
    }
    return false;
  }

 private:
  CTunwickDlg* dialog_ = nullptr;
  bool dismiss_;
  bool quit_;
  bool reported_ = false;
  QSet<QObject*> boxes_;
};

std::unique_ptr<CReadyReporter> ReadyReporter() {
  const char* report = std::getenv("TUNWICK_REPORT_READY");
  if (!report || !*report) return nullptr;
  const bool quit = std::strcmp(report, "quit") == 0;
  auto reporter =
      std::make_unique<CReadyReporter>(quit || std::strcmp(report, "dismiss") == 0, quit);
  qApp->installEventFilter(reporter.get());
  return reporter;
}

}  // namespace

std::unique_ptr<QTranslator> InstallQtTranslation(const QString& folder) {
  auto translator = std::make_unique<QTranslator>();
  const QString from =
      folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
  if (!translator->load(QStringLiteral("qtbase_zh_CN"), from) ||
      !QCoreApplication::installTranslator(translator.get()))
    return nullptr;
  return translator;
}

int CTunwickApp::InitInstance(int& argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
  QApplication::setApplicationVersion(QStringLiteral(TUNWICK_VERSION));
  QApplication::setDesktopFileName(QStringLiteral("org.tunwick.Tunwick"));
  QApplication::setWindowIcon(TunwickIcon());
  // Without Qt's translations its dialogs stay in English.
  const std::unique_ptr<QTranslator> qtTranslation = InstallQtTranslation();

  const auto reporter = ReadyReporter();
  std::unique_ptr<CTunwickDlg> dialog;
  try {
    dialog = std::make_unique<CTunwickDlg>();
  } catch (const std::exception& error) {
    QMessageBox::critical(nullptr, QStringLiteral("Error"), QString::fromLocal8Bit(error.what()));
    return EXIT_FAILURE;
  }
  if (reporter) reporter->Watch(dialog.get());
  dialog->DoModal();
  if (reporter) qApp->removeEventFilter(reporter.get());
  dialog.reset();
  return EXIT_SUCCESS;
}
