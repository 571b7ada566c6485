#pragma once

#include <QPlainTextEdit>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// How long typing in the box must pause before what is drawn from it (the score view, the
// look-alike line) is read again.
constexpr int kTypingPauseMs = 80;

// The length of the line break that starts at byte `i` of narrow score text: 2 for CR LF, 1
// for a bare LF or a bare CR, 0 for no line break. Each one is a line of the box.
std::size_t LineBreakLength(std::string_view text, std::size_t i);

// The score edit box. It shows narrow score text with a line for each line break (CR LF, a
// bare LF or a bare CR) and gives the text back with every one of those line breaks as it
// came, so that a file read and saved again keeps its bytes. A line break typed or pasted
// into the box is CR LF, the edit box's own.
class CScoreEdit : public QPlainTextEdit {
 public:
  explicit CScoreEdit(QWidget* parent = nullptr);

  // Shows `text`, narrow text up to its first zero byte.
  void SetScoreText(const std::string& text);
  // The box's text as narrow text; while it reads as SetScoreText left it, exactly the bytes
  // that were given.
  std::string ScoreText() const;

 private:
  // A line break between two lines of the box: where it stands in the document, and the
  // bytes it stands for.
  struct LineBreak {
    int position;
    const char* bytes;
  };

  // Keeps breaks_ in step with an edit of the document.
  void TrackEdit(int position, int removed, int added);

  std::vector<LineBreak> breaks_;
  std::string shownText_;
  QString shownLines_;
};
