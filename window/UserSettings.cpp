#include "window/UserSettings.h"

#include <QDir>
#include <QString>
#include <cstdlib>

std::unique_ptr<QSettings> OpenUserSettings() {
  QString folder;
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  if (configHome != nullptr && configHome[0] == '/') {
    folder = QString::fromLocal8Bit(configHome);
  } else {
    folder = QDir::homePath() + QStringLiteral("/.config");
  }
  return std::make_unique<QSettings>(folder + QStringLiteral("/tunwick/tunwick.conf"),
                                     QSettings::IniFormat);
}
