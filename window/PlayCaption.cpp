#include "window/PlayCaption.h"

#include "playback/Player.h"
#include "window/DialogLayout.h"

namespace {

// The play buttons' own captions name the modes.
const char* ModeName(int32_t mode) {
  switch (mode) {
    case PracticeMode:
      return "练音模式";
    case TeachingMode:
      return "教歌模式";
    case RepeatMode:
      return "反复演奏";
    case SingBackMode:
      return "跟唱模式";
    default:
      return "演奏全部";
  }
}

}  // namespace

QString PlayCaption(const PlayerPosition& position, bool paused, const QString& words) {
  QString caption = QString::fromUtf8(kMainDialogTitle);
  if (!position.playing && !paused) return caption;
  caption += QStringLiteral(" — ") + QString::fromUtf8(ModeName(position.mode));
  caption += QStringLiteral(" · 第 %1/%2 句").arg(position.phrase + 1).arg(position.phraseCount);
  // Before the cycle's first pass (Continue at start plays the phrase once) there is none.
  if ((position.mode == PracticeMode || position.mode == TeachingMode) && position.pass > 0)
    caption += QStringLiteral(" · 第 %1/%2 遍").arg(position.pass).arg(position.passCount);
  if (position.mode == SingBackMode) {
    caption += QStringLiteral(" · 第 %1/%2 次").arg(position.pass).arg(position.passCount);
    // The learner's turn: Tunwick is silent and listens.
    if (position.playing && position.phase == PlayerPhase::kListening)
      caption += QStringLiteral(" · 请唱");
  }
  // How far a pass is moved, by practice or to fit the singer's range; nothing when it is not.
  if (position.semitones != 0) {
    caption += position.semitones < 0 ? QStringLiteral(" · 降 %1 半音").arg(-position.semitones)
                                      : QStringLiteral(" · 升 %1 半音").arg(position.semitones);
  }
  if (!position.playing) caption += QStringLiteral(" · 已暂停（按继续演奏接着放）");
  if (position.playing && !words.isEmpty()) caption += QStringLiteral(" · 「%1」").arg(words);
  return caption;
}
