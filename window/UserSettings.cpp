#include "window/UserSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTextDocument>
#include <cstdlib>

#include "files/ProgramFolder.h"
#include "files/ReplacingFile.h"
#include "window/ScoreEdit.h"

namespace {

const char kKeptBoxTextName[] = "box.txt";

}  // namespace

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

std::string KeptBoxTextPath() {
  const std::string folder = UserDataFolder();
  return folder.empty() ? std::string() : folder + kKeptBoxTextName;
}

CBoxTextKeeper::CBoxTextKeeper(CScoreEdit& edit) : edit_(edit) {
  delay_.setSingleShot(true);
  delay_.setInterval(kDelayMs);
  connect(&delay_, &QTimer::timeout, this, [this] { WriteNow(); });
  // Each change puts the write off: a learner typing is written once a pause comes.
  connect(edit_.document(), &QTextDocument::contentsChanged, this, [this] {
    if (!path_.empty()) delay_.start();
  });
}

CBoxTextKeeper::~CBoxTextKeeper() { WriteNow(); }

std::string CBoxTextKeeper::Restore(const std::string& path) {
  path_ = path;
  written_.clear();
  if (path_.empty()) return written_;
  QFile file(QFile::decodeName(path_.c_str()));
  if (file.open(QIODevice::ReadOnly)) written_ = file.readAll().toStdString();
  return written_;
}

void CBoxTextKeeper::WriteNow() {
  delay_.stop();
  if (path_.empty()) return;
  std::string text = edit_.ScoreText();
  if (text == written_) return;
  const QString folder = QFileInfo(QFile::decodeName(path_.c_str())).absolutePath();
  // Kept where it can be; a folder that cannot be written leaves the box as it is, unkept.
  if (!QDir().mkpath(folder) || !WriteFileReplacing(path_, text).ok) return;
  written_ = std::move(text);
}
