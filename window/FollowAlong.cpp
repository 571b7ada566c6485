#include "window/FollowAlong.h"

#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTimer>
#include <QWidget>
#include <algorithm>

#include "notation/SongWords.h"
#include "notation/TextSpans.h"
#include "playback/Player.h"
#include "window/PlayCaption.h"
#include "window/ScoreEdit.h"

namespace {

const QColor kPhraseBackground(255, 243, 196);  // soft: the phrase
const QColor kNoteBackground(255, 176, 64);     // strong: the notes that sound

QTextEdit::ExtraSelection Highlight(QPlainTextEdit& edit, int start, int end,
                                    const QColor& colour) {
  QTextEdit::ExtraSelection selection;
  selection.cursor = QTextCursor(edit.document());
  selection.cursor.setPosition(start);
  selection.cursor.setPosition(end, QTextCursor::KeepAnchor);
  selection.format.setBackground(colour);
  return selection;
}

}  // namespace

CFollowAlong::CFollowAlong(QPlainTextEdit& edit, QWidget& window, const CPlayer& player)
    : edit_(edit), window_(window), player_(player) {
  // Any edit of the box ends the match with what was loaded.
  connect(edit_.document(), &QTextDocument::contentsChange, this,
          [this](int, int removed, int added) {
            if (applying_ || (removed == 0 && added == 0)) return;
            if (valid_) ClearSource();
          });
}

std::vector<int> BoxCharacterOfEachByte(const QString& boxText, std::string_view loadedBytes) {
  std::vector<int> map;
  map.reserve(loadedBytes.size() + 1);
  for (int i = 0; i < boxText.size();) {
    const QChar c = boxText.at(i);
    const size_t at = map.size();
    int chars = 1;
    size_t bytes = 0;
    if (c == QLatin1Char('\n')) {
      // One line of the box ends: with whichever line break the text holds there.
      bytes = LineBreakLength(loadedBytes, at);
    } else if (c.unicode() < 0x80) {
      bytes = at < loadedBytes.size() && loadedBytes[at] == c.toLatin1() ? 1 : 0;
    } else {
      if (c.isHighSurrogate() && i + 1 < boxText.size()) chars = 2;
      const QByteArray local = boxText.mid(i, chars).toLocal8Bit();
      const std::string_view expected(local.constData(), static_cast<size_t>(local.size()));
      bytes = loadedBytes.substr(at, expected.size()) == expected ? expected.size() : 0;
    }
    if (bytes == 0) return {};
    map.insert(map.end(), bytes, i);
    i += chars;
  }
  if (map.size() != loadedBytes.size()) return {};
  map.push_back(static_cast<int>(boxText.size()));
  return map;
}

void CFollowAlong::ShowFault(const QString& boxText, const std::string& loadedBytes,
                             int32_t phraseOffset, int32_t phraseLength, int32_t numberOffset,
                             int32_t numberLength) {
  const std::vector<int> map = BoxCharacterOfEachByte(boxText, loadedBytes);
  // A box whose text does not map byte for byte is left alone: never the wrong place.
  if (phraseOffset < 0 || map.empty()) return;
  const auto charAt = [&](int64_t byte) {
    return map[static_cast<size_t>(
        std::clamp<int64_t>(byte, 0, static_cast<int64_t>(map.size()) - 1))];
  };
  const int phraseStart = charAt(phraseOffset);
  const int phraseEnd = charAt(int64_t{phraseOffset} + phraseLength);
  const bool number = numberOffset >= 0;
  const int start = number ? charAt(numberOffset) : phraseStart;
  const int end = number ? charAt(int64_t{numberOffset} + numberLength) : phraseEnd;
  QTextCursor cursor(edit_.document());
  cursor.setPosition(start);
  cursor.setPosition(end, QTextCursor::KeepAnchor);
  edit_.setTextCursor(cursor);
  edit_.ensureCursorVisible();
  applying_ = true;
  edit_.setExtraSelections({Highlight(edit_, phraseStart, phraseEnd, kPhraseBackground)});
  applying_ = false;
}

void CFollowAlong::SetSource(const QString& boxText, const std::string& loadedBytes) {
  byteToChar_ = BoxCharacterOfEachByte(boxText, loadedBytes);
  // Only a text that maps byte for byte is followed: nothing is ever shown in the wrong place.
  valid_ = !byteToChar_.empty();
  leadingBar_ = LeadingBarShift(loadedBytes);
  row_ = -1;
  notes_.clear();
  ScheduleUpdate();
}

void CFollowAlong::SetSong(std::shared_ptr<const Song> song) {
  song_ = std::move(song);
  ScheduleUpdate();
}

void CFollowAlong::ClearSource() {
  valid_ = false;
  byteToChar_.clear();
  ScheduleUpdate();
}

int CFollowAlong::CharAt(size_t byteOffset) const {
  return byteOffset < byteToChar_.size() ? byteToChar_[byteOffset] : -1;
}

CFollowAlong::Range CFollowAlong::PhraseSpan(int32_t row) const {
  return BoxRange(PhraseTextSpan(player_.LoadedScore(), row, leadingBar_));
}

CFollowAlong::Range CFollowAlong::NoteSpan(int32_t row, int32_t note) const {
  return BoxRange(NoteTextSpan(player_.LoadedScore(), row, note, leadingBar_));
}

CFollowAlong::Range CFollowAlong::BoxRange(const std::optional<TextSpan>& bytes) const {
  if (!bytes) return {0, 0};
  const int start = CharAt(static_cast<size_t>(bytes->begin));
  const int end = CharAt(static_cast<size_t>(bytes->end));
  return start < 0 || end < 0 ? Range{0, 0} : Range{start, end};
}

void CFollowAlong::OnPlayerNotification(const PlayerNotification& n) {
  switch (n.kind) {
    case PlayerNotification::kNote:
      // A new moment replaces the notes shown; notes of the same moment join them.
      if (n.row != row_ || n.atMs != notesAt_) notes_.clear();
      row_ = n.row;
      notesAt_ = n.atMs;
      notes_.push_back(n.note);
      break;
    case PlayerNotification::kPassBegins:
    case PlayerNotification::kWaitBegins:
    case PlayerNotification::kCueBegins:
    case PlayerNotification::kListeningBegins:
    case PlayerNotification::kListeningEnds:
      // The exercise's phrase stays lit through its waits, cues and takes; a score pass
      // lights each phrase as its first note sounds.
      notes_.clear();
      row_ = player_.Mode() == PracticeMode || player_.Mode() == TeachingMode ||
                     player_.Mode() == SingBackMode
                 ? n.row
                 : -1;
      break;
    case PlayerNotification::kStopped:
      notes_.clear();
      row_ = -1;
      break;
  }
  ScheduleUpdate();
}

void CFollowAlong::ScheduleUpdate() {
  // Notifications come in bursts (a chord, the end of a pass): show the state once after them.
  if (updateScheduled_) return;
  updateScheduled_ = true;
  QTimer::singleShot(0, this, [this] { Update(); });
}

void CFollowAlong::MarkPaused() {
  if (player_.Playing()) paused_ = true;
}

void CFollowAlong::ResumeCaption() {
  if (paused_ && player_.Playing()) {
    paused_ = false;
    window_.setWindowTitle(Caption());
  }
}

QString CFollowAlong::Caption() const {
  const PlayerPosition at = player_.Position();
  const QString words =
      song_ ? QString::fromStdString(PhraseWordsLine(*song_, at.phrase, 0)) : QString();
  return PlayCaption(at, paused_, words);
}

void CFollowAlong::Update() {
  updateScheduled_ = false;
  if (player_.Playing()) paused_ = false;
  window_.setWindowTitle(Caption());

  phraseRange_ = {0, 0};
  noteRanges_.clear();
  QList<QTextEdit::ExtraSelection> selections;
  if (valid_ && player_.Playing() && row_ >= 0) {
    phraseRange_ = PhraseSpan(row_);
    if (phraseRange_.end > phraseRange_.start)
      selections.append(Highlight(edit_, phraseRange_.start, phraseRange_.end, kPhraseBackground));
    for (int32_t note : notes_) {
      const Range range = NoteSpan(row_, note);
      if (range.end <= range.start) continue;
      noteRanges_.push_back(range);
      selections.append(Highlight(edit_, range.start, range.end, kNoteBackground));
    }
  }
  applying_ = true;
  edit_.setExtraSelections(selections);
  applying_ = false;
  emit Updated();
}
