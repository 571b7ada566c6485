#include "window/ScoreView.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <algorithm>
#include <string_view>

#include "playback/Player.h"
#include "playback/ScoreLoader.h"
#include "window/FollowAlong.h"
#include "window/ScoreEdit.h"

// The sheet drawn at the view's scale; clicks go to the view.
class CSheetCanvas : public QWidget {
 public:
  explicit CSheetCanvas(CScoreView& view) : view_(view) {
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.scale(CScoreView::kScale, CScoreView::kScale);
    painter.translate(CScoreView::kMargin, CScoreView::kMargin);
    jianpu::PaintSheet(painter, view_.Page(), view_.Lighting());
  }
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton) view_.SelectAt(event->position());
  }

 private:
  CScoreView& view_;
};

CScoreView::CScoreView(QPlainTextEdit& edit, const CFollowAlong& followAlong, const CPlayer& player,
                       QWidget* parent)
    : QScrollArea(parent), edit_(edit), followAlong_(followAlong), player_(player) {
  setWindowFlags(Qt::Window | Qt::Tool);
  setWindowTitle(QString::fromUtf8(kTitle));
  setObjectName(QStringLiteral("scoreView"));
  resize(480, 420);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  canvas_ = new CSheetCanvas(*this);
  setWidget(canvas_);

  typingPause_.setSingleShot(true);
  typingPause_.setInterval(kTypingPauseMs);
  connect(&typingPause_, &QTimer::timeout, this, [this] { Refresh(); });
  connect(edit_.document(), &QTextDocument::contentsChange, this,
          [this](int, int removed, int added) {
            if (removed == 0 && added == 0) return;
            // Typing brings the box back into view.
            SetBuiltIn(false);
            stale_ = true;
            if (isVisible()) typingPause_.start();
          });
  // The lighting follows the box's.
  connect(&followAlong_, &CFollowAlong::Updated, canvas_, [this] { canvas_->update(); });
}

CScoreView::~CScoreView() = default;

QWidget* CScoreView::Canvas() const { return canvas_; }

void CScoreView::ShowBuiltIn() { SetBuiltIn(true); }

void CScoreView::ShowBox() { SetBuiltIn(false); }

void CScoreView::SetFileName(const std::string& path) {
  fileName_ = path;
  stale_ = true;
  if (isVisible()) Refresh();
}

void CScoreView::SetBuiltIn(bool builtIn) {
  if (builtIn == builtIn_) return;
  builtIn_ = builtIn;
  setWindowTitle(QString::fromUtf8(builtIn ? kBuiltInTitle : kTitle));
  stale_ = true;
  if (isVisible()) Refresh();
}

void CScoreView::Refresh() {
  typingPause_.stop();
  stale_ = false;
  if (builtIn_) {
    // Not the box's text: nothing to select in it.
    sheet_ = jianpu::ReadSheet(std::string(kBuiltInScore));
    byteToChar_.clear();
    LayOut();
    return;
  }
  // The box's text as it is loaded: line breaks as CR LF, in the local encoding.
  const QString boxText = edit_.toPlainText();
  QString loaded = boxText;
  loaded.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  const QByteArray bytes = loaded.toLocal8Bit();
  sheet_ = jianpu::ReadSheet(std::string(bytes.constData(), static_cast<size_t>(bytes.size())));
  byteToChar_ = BoxCharacterOfEachByte(
      boxText, std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
  LayOut();
}

void CScoreView::LayOut() {
  const double width = std::max(60.0, viewport()->width() / kScale - 2 * kMargin);
  page_ = jianpu::StackLines(jianpu::LayOutLines(sheet_, width),
                             jianpu::SheetTitle(sheet_, builtIn_ ? "" : fileName_), width);
  double bottom = 0.0;
  for (const jianpu::SheetItem& item : page_.items) bottom = std::max(bottom, item.y + item.height);
  // White to the window's foot at least.
  canvas_->resize(
      viewport()->width(),
      std::max(viewport()->height(), static_cast<int>((bottom + 2 * kMargin) * kScale) + 1));
  canvas_->update();
}

int CScoreView::BoxCharAt(int32_t byte) const {
  if (byte < 0 || static_cast<size_t>(byte) >= byteToChar_.size()) return -1;
  return byteToChar_[static_cast<size_t>(byte)];
}

std::string CScoreView::RaisedKey(int32_t p) const {
  const PlayerPosition at = player_.Position();
  if (at.mode != PracticeMode || at.semitones == 0) return {};
  const Phrase& phrase = sheet_.score->phrases[p];
  return jianpu::KeyText(phrase.keyLetter, phrase.accidental, at.semitones) + "（升 " +
         std::to_string(at.semitones) + " 半音）";
}

jianpu::SheetLighting CScoreView::Lighting() const {
  jianpu::SheetLighting lighting;
  if (stale_ || !player_.Playing()) return lighting;
  if (builtIn_) {
    // The built-in score is the one playing: its phrase as the player tells it.
    const int32_t p = player_.Position().phrase;
    if (!sheet_.score || p < 0 || p >= sheet_.score->phraseCount) return lighting;
    lighting.phrase = p;
    lighting.raisedKey = RaisedKey(p);
    return lighting;
  }
  if (byteToChar_.empty()) return lighting;
  const CFollowAlong::Range phrase = followAlong_.PhraseRange();
  if (phrase.end <= phrase.start) return lighting;
  const Score& score = *sheet_.score;
  for (int32_t p = 0; p < score.phraseCount; ++p) {
    const jianpu::SourceRange source = jianpu::PhraseSource(sheet_, p);
    if (BoxCharAt(source.start) != phrase.start || BoxCharAt(source.end) != phrase.end) continue;
    lighting.phrase = p;
    for (const CFollowAlong::Range& lit : followAlong_.NoteRanges()) {
      for (int32_t note = 0; note < score.phrases[p].noteCount; ++note) {
        const jianpu::SourceRange n = jianpu::NoteSource(sheet_, p, note);
        if (BoxCharAt(n.start) == lit.start && BoxCharAt(n.end) == lit.end)
          lighting.notes.push_back(n);
      }
    }
    lighting.raisedKey = RaisedKey(p);
    break;
  }
  return lighting;
}

bool CScoreView::SelectAt(const QPointF& point) {
  const double x = point.x() / kScale - kMargin;
  const double y = point.y() / kScale - kMargin;
  constexpr double kReach = 2.0;
  for (const jianpu::SheetItem& item : page_.items) {
    // A syllable stands for its note.
    const bool selectable = item.kind == jianpu::ItemKind::kDigit ||
                            item.kind == jianpu::ItemKind::kSyllable ||
                            item.kind == jianpu::ItemKind::kFault;
    if (!selectable || item.source.start < 0) continue;
    if (x < item.x - kReach || x > item.x + item.width + kReach || y < item.y - kReach ||
        y > item.y + item.height + kReach)
      continue;
    const int start = BoxCharAt(item.source.start);
    const int end = BoxCharAt(item.source.end);
    if (start < 0 || end < 0) return false;
    QTextCursor cursor(edit_.document());
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    edit_.setTextCursor(cursor);
    edit_.ensureCursorVisible();
    edit_.setFocus(Qt::MouseFocusReason);
    return true;
  }
  return false;
}

void CScoreView::showEvent(QShowEvent* event) {
  QScrollArea::showEvent(event);
  if (stale_) Refresh();
}

void CScoreView::resizeEvent(QResizeEvent* event) {
  QScrollArea::resizeEvent(event);
  if (!stale_) LayOut();
}

void CScoreView::closeEvent(QCloseEvent* event) {
  QScrollArea::closeEvent(event);
  if (onClosed_) onClosed_();
}
