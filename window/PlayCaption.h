#pragma once

#include <QString>

#include "playback/PlayerNotification.h"

// The dialog's caption: "Tunwick" alone when idle; while playing, the mode and where it
// stands, e.g. "Tunwick — 练音模式 · 第 2/4 句 · 第 3/24 遍 · 升 1 半音". Practice and teaching
// show the phrase and the pass (none before the cycle's first); sing-back the phrase, the try
// and "请唱" while it listens; the whole-score modes the phrase that sounds; every mode the
// semitones a pass is moved ("降 k 半音" below the written pitch), when it is moved. Paused
// (stopped by the pause button, to be continued), it says so after where playback stands.
// While a phrase plays, `words` (the phrase's words as one line; empty for none) close it:
// "… · 第 1/4 句 · 「Twinkle, twinkle, little star,」".
QString PlayCaption(const PlayerPosition& position, bool paused = false,
                    const QString& words = QString());
