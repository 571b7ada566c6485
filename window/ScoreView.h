#pragma once

#include <QScrollArea>
#include <QString>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "jianpu/Sheet.h"
#include "jianpu/SheetLayout.h"
#include "jianpu/SheetPainter.h"

class CFollowAlong;
class CPlayer;
class QPlainTextEdit;
class CSheetCanvas;

// The score view: a window of its own beside the dialog that draws what the score box holds
// as numbered notation, under its title, with its words, redrawn once typing pauses (words
// and any other comment included); or the built-in score while that is loaded and the box
// untouched. A phrase the parser refuses is drawn
// marked, with its message. While the box's score plays, the phrase and the sounding notes
// (with their syllables) are lit as the box lights them (with the key a practice pass is raised
// to), and a click on a note selects its two numbers in the box.
class CScoreView : public QScrollArea {
  Q_OBJECT

 public:
  // Pixels per unit of the layout.
  static constexpr double kScale = 1.5;
  // Units of room around the sheet.
  static constexpr double kMargin = 12.0;

  CScoreView(QPlainTextEdit& edit, const CFollowAlong& followAlong, const CPlayer& player,
             QWidget* parent);
  ~CScoreView() override;

  // The window's titles: drawing the box, and drawing the built-in score.
  static constexpr const char* kTitle = "简谱";
  static constexpr const char* kBuiltInTitle = "简谱 — 内置乐谱（恢复系统）";

  // Draws the built-in score, titled so, while it is the score loaded and the box is not
  // typed in (at start and after 恢复系统): what plays is then what is seen.
  void ShowBuiltIn();
  // Draws the box again (a score from the box was loaded).
  void ShowBox();
  // The file the box was read from: its name titles a sheet whose song has no title.
  void SetFileName(const std::string& path);
  bool ShowsBuiltIn() const { return builtIn_; }

  // Reads the box (or the built-in score) and lays the sheet out now (the typing pause's timer
  // calls it).
  void Refresh();
  bool RefreshPending() const { return typingPause_.isActive(); }
  int RefreshDelayMs() const { return typingPause_.interval(); }

  const jianpu::Sheet& Sheet() const { return sheet_; }
  const jianpu::SheetPage& Page() const { return page_; }
  // What is lit now, from the follow-along in the box.
  jianpu::SheetLighting Lighting() const;
  // Selects in the box the note (its digit or syllable) or refused phrase drawn at `point` of
  // the canvas; false when nothing is drawn there.
  bool SelectAt(const QPointF& point);
  QWidget* Canvas() const;

  // Called when the user closes the view's window.
  void SetOnClosed(std::function<void()> onClosed) { onClosed_ = std::move(onClosed); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void LayOut();
  int BoxCharAt(int32_t byte) const;
  void SetBuiltIn(bool builtIn);
  // The key a practice pass of phrase p is raised to, for the lighting; "" when not raised.
  std::string RaisedKey(int32_t p) const;

  QPlainTextEdit& edit_;
  const CFollowAlong& followAlong_;
  const CPlayer& player_;
  QTimer typingPause_;
  jianpu::Sheet sheet_;
  jianpu::SheetPage page_;
  std::vector<int> byteToChar_;  // box character of each byte of the sheet's text, and the end
  CSheetCanvas* canvas_ = nullptr;
  bool stale_ = true;
  bool builtIn_ = false;
  std::string fileName_;
  std::function<void()> onClosed_;
};
