#include "window/ScoreEdit.h"

#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>
#include <cstring>

namespace {

const char kCrLf[] = "\r\n";
const char kLf[] = "\n";
const char kCr[] = "\r";

// The line break at `i` and its length in bytes, or nullptr when there is none.
const char* LineBreakAt(const std::string& text, std::size_t i, std::size_t& length) {
  length = LineBreakLength(text, i);
  if (length == 2) return kCrLf;
  if (length == 0) return nullptr;
  return text[i] == '\n' ? kLf : kCr;
}

// The lines of a document joined by LF, as the box shows them.
QString LinesOf(const QTextDocument& document) {
  QString lines;
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    if (block != document.begin()) lines += QLatin1Char('\n');
    lines += block.text();
  }
  return lines;
}

}  // namespace

std::size_t LineBreakLength(std::string_view text, std::size_t i) {
  if (i >= text.size()) return 0;
  if (text[i] == '\r') return i + 1 < text.size() && text[i + 1] == '\n' ? 2 : 1;
  return text[i] == '\n' ? 1 : 0;
}

CScoreEdit::CScoreEdit(QWidget* parent) : QPlainTextEdit(parent) {
  connect(document(), &QTextDocument::contentsChange, this, &CScoreEdit::TrackEdit);
}

void CScoreEdit::SetScoreText(const std::string& text) {
  shownText_.assign(text.c_str(), std::strlen(text.c_str()));
  QString lines;
  std::vector<const char*> kinds;
  std::size_t lineStart = 0;
  for (std::size_t i = 0; i < shownText_.size();) {
    std::size_t length = 0;
    const char* kind = LineBreakAt(shownText_, i, length);
    if (kind == nullptr) {
      ++i;
      continue;
    }
    lines += QString::fromLocal8Bit(shownText_.data() + lineStart,
                                    static_cast<qsizetype>(i - lineStart));
    lines += QLatin1Char('\n');
    kinds.push_back(kind);
    i += length;
    lineStart = i;
  }
  lines += QString::fromLocal8Bit(shownText_.data() + lineStart,
                                  static_cast<qsizetype>(shownText_.size() - lineStart));
  setPlainText(lines);
  shownLines_ = LinesOf(*document());

  // The document now holds a line break for each one of the text: give each its bytes.
  if (kinds.size() != breaks_.size() ||
      static_cast<int>(kinds.size()) + 1 != document()->blockCount())
    return;
  std::size_t k = 0;
  for (LineBreak& lineBreak : breaks_) lineBreak.bytes = kinds[k++];
}

std::string CScoreEdit::ScoreText() const {
  if (LinesOf(*document()) == shownLines_) return shownText_;
  const bool tracked = static_cast<int>(breaks_.size()) + 1 == document()->blockCount();
  std::string text;
  std::size_t k = 0;
  for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
    text += block.text().toLocal8Bit().toStdString();
    if (block.next().isValid()) text += tracked ? breaks_[k++].bytes : kCrLf;
  }
  return text;
}

void CScoreEdit::TrackEdit(int position, int removed, int added) {
  // Line breaks in the removed stretch are gone, those behind it move.
  std::vector<LineBreak> kept;
  kept.reserve(breaks_.size() + 1);
  for (const LineBreak& lineBreak : breaks_) {
    if (lineBreak.position < position)
      kept.push_back(lineBreak);
    else if (lineBreak.position >= position + removed)
      kept.push_back({lineBreak.position + added - removed, lineBreak.bytes});
  }
  // Those in the added stretch are new: typed or pasted.
  for (QTextBlock block = document()->findBlock(position);
       block.isValid() && block.next().isValid() && block.position() <= position + added;
       block = block.next()) {
    const int end = block.position() + block.length() - 1;
    if (end >= position && end < position + added) kept.push_back({end, kCrLf});
  }
  std::sort(kept.begin(), kept.end(),
            [](const LineBreak& a, const LineBreak& b) { return a.position < b.position; });
  breaks_ = std::move(kept);
}
