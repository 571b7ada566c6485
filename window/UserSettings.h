#pragma once

#include <QSettings>
#include <memory>

// The learner's settings (what the window remembers between runs), in
// $XDG_CONFIG_HOME/tunwick/tunwick.conf, else ~/.config/tunwick/tunwick.conf: a plain INI file
// that Qt writes back whenever the returned object goes or syncs.
std::unique_ptr<QSettings> OpenUserSettings();
