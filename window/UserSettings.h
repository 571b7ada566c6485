#pragma once

#include <QObject>
#include <QSettings>
#include <QTimer>
#include <memory>
#include <string>

class CScoreEdit;

// What the window remembers between runs.

// The learner's settings, in $XDG_CONFIG_HOME/tunwick/tunwick.conf, else
// ~/.config/tunwick/tunwick.conf: a plain INI file that Qt writes back whenever the returned
// object goes or syncs.
std::unique_ptr<QSettings> OpenUserSettings();

// Where the score box's text is kept: box.txt in the per-user data folder; empty when that
// folder cannot be known.
std::string KeptBoxTextPath();

// The score box's text kept in a file as it changes, so that nothing typed is lost when the
// program ends (Escape ends it at once): written a moment after the last change, and at the
// latest when the keeper goes, whole or not at all. The file holds the box's bytes as they
// are, its line breaks included.
class CBoxTextKeeper : public QObject {
 public:
  // How long the box stays unchanged before its text is written.
  static constexpr int kDelayMs = 1000;

  explicit CBoxTextKeeper(CScoreEdit& edit);
  ~CBoxTextKeeper() override;

  // Keeps the box's text in `path` from now on (nothing, for an empty path) and gives the
  // text kept there last, empty when there is none.
  std::string Restore(const std::string& path);
  // Writes a change still waiting for its moment.
  void WriteNow();

 private:
  CScoreEdit& edit_;
  std::string path_;
  std::string written_;  // what the file holds
  QTimer delay_;
};
