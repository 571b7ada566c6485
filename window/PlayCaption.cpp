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

QString PlayCaption(const PlayerPosition& position) {
  QString caption = QString::fromUtf8(kMainDialogTitle);
  if (!position.playing) return caption;
  caption += QStringLiteral(" — ") + QString::fromUtf8(ModeName(position.mode));
  caption += QStringLiteral(" · 第 %1/%2 句").arg(position.phrase + 1).arg(position.phraseCount);
  if (position.mode == PracticeMode || position.mode == TeachingMode)
    caption += QStringLiteral(" · 第 %1/%2 遍").arg(position.pass).arg(position.passCount);
  if (position.mode == SingBackMode) {
    caption += QStringLiteral(" · 第 %1/%2 次").arg(position.pass).arg(position.passCount);
    // The learner's turn: Tunwick is silent and listens.
    if (position.phase == PlayerPhase::kListening) caption += QStringLiteral(" · 请唱");
  }
  // Practice always says how far the pass is moved; the other modes when a range moved it.
  if (position.mode == PracticeMode || position.semitones != 0) {
    caption += position.semitones < 0 ? QStringLiteral(" · 降 %1 半音").arg(-position.semitones)
                                      : QStringLiteral(" · 升 %1 半音").arg(position.semitones);
  }
  return caption;
}
