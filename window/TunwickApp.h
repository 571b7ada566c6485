#pragma once

#include <QString>
#include <memory>

class QTranslator;

// Qt's own texts (the file dialog, the message boxes' buttons) in Chinese like the rest of the
// window: Qt's translation qtbase_zh_CN from `folder` (Qt's translations folder by default),
// installed in the running application. Null, and nothing installed, where it is absent.
std::unique_ptr<QTranslator> InstallQtTranslation(const QString& folder = QString());

// The application object: starts Qt, runs the main dialog modally until it is closed,
// and ends the program.
class CTunwickApp {
 public:
  // Returns the program's exit status.
  int InitInstance(int& argc, char** argv);
};

extern CTunwickApp theApp;
