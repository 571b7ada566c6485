#pragma once

#include <QString>

#include "playback/PlayerNotification.h"

// The dialog's caption: "Tunwick" alone when idle; while playing, the mode and where it
// stands, e.g. "Tunwick — 练音模式 · 第 2/4 句 · 第 3/24 遍 · 升 1 半音". Practice shows the
// phrase, the pass and the semitones ("降 k 半音" below the written pitch); teaching the phrase
// and the pass; the whole-score modes the phrase that sounds; every mode the semitones a phrase
// is moved to fit the singer's range.
QString PlayCaption(const PlayerPosition& position);
