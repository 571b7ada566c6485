#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "notation/TextSpans.h"
#include "playback/PlayerNotification.h"

class CPlayer;
class QPlainTextEdit;
class QWidget;
struct Song;

// The box character each byte of `loadedBytes` came from, and one past the end; empty when
// `loadedBytes` is not the box's text `boxText`: its characters in the local encoding, each of
// its line breaks one of CR LF, LF or a bare CR (as the box keeps them from a file, CR LF when
// typed).
std::vector<int> BoxCharacterOfEachByte(const QString& boxText, std::string_view loadedBytes);

// Follow-along in the score box: while a score loaded from the box plays, the phrase being
// played gets a soft background and the notes sounding in it (a chord's all, a rest too) a
// stronger one, as the player reports them heard; the window's caption says where playback
// stands, and while a phrase plays, the phrase's words when the song has them. Once the box no
// longer holds the text that was loaded, nothing is highlighted.
// Extra selections only: the text, the caret and the scrolling are never touched.
class CFollowAlong : public QObject, public PlayerObserver {
  Q_OBJECT

 public:
  CFollowAlong(QPlainTextEdit& edit, QWidget& window, const CPlayer& player);

  // The box's text `boxText` was loaded as `loadedBytes` (its line breaks as the box keeps
  // them, in the local encoding) and is now the player's score.
  void SetSource(const QString& boxText, const std::string& loadedBytes);
  // The player's score did not come from the box (the built-in score).
  void ClearSource();
  bool HasSource() const { return valid_; }
  // The words of the score the player holds (null: none), for the caption.
  void SetSong(std::shared_ptr<const Song> song);

  // Character ranges [start, end) in the box of what is highlighted now.
  struct Range {
    int start;
    int end;
  };
  Range PhraseRange() const { return phraseRange_; }
  const std::vector<Range>& NoteRanges() const { return noteRanges_; }

  void OnPlayerNotification(const PlayerNotification& notification) override;

  // The pause button was pressed: while something played, the caption says it is paused
  // until playback goes on.
  void MarkPaused();
  // A button may have set playback going again: a paused caption gives way at once.
  void ResumeCaption();

  // After a refused load: selects the number at fault (or else the phrase) in the box, with
  // the caret there and the box scrolled to it, and gives the phrase the soft background.
  // `loadedBytes` is what was loaded from the box's `boxText`; offsets count in its bytes.
  void ShowFault(const QString& boxText, const std::string& loadedBytes, int32_t phraseOffset,
                 int32_t phraseLength, int32_t numberOffset, int32_t numberLength);

 signals:
  // What is lit (or the caption) has just been shown anew.
  void Updated();

 private:
  // The box character at a byte offset of the loaded text; -1 outside it.
  int CharAt(size_t byteOffset) const;
  Range PhraseSpan(int32_t row) const;
  Range NoteSpan(int32_t row, int32_t note) const;
  // Bytes of the loaded text as characters of the box; empty where the box does not hold them.
  Range BoxRange(const std::optional<TextSpan>& bytes) const;
  void ScheduleUpdate();
  void Update();
  // The caption for where playback stands now.
  QString Caption() const;

  QPlainTextEdit& edit_;
  QWidget& window_;
  const CPlayer& player_;
  bool valid_ = false;
  int leadingBar_ = 0;           // a '|' that opened the text, which the parser drops
  std::vector<int> byteToChar_;  // box character of each loaded byte, and the end
  int32_t row_ = -1;             // phrase shown
  int32_t notesAt_ = 0;          // time of the notes shown (a chord shares it)
  std::vector<int32_t> notes_;   // notes of row_ shown
  Range phraseRange_{0, 0};
  std::vector<Range> noteRanges_;
  std::shared_ptr<const Song> song_;
  bool updateScheduled_ = false;
  bool paused_ = false;
  bool applying_ = false;
};
