#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "notation/Comments.h"
#include "playback/PlayerNotification.h"

class CPlayer;

// What `tunwick play` shows: a line as each pass begins (which phrase, which pass, how far
// raised), and, on a terminal, the phrase's text below it with the sounding notes marked,
// redrawn in place as they sound. Piped output gets the pass lines alone.
class CPlayDisplay : public PlayerObserver {
 public:
  // `loadedText` is the text the player loaded; `stopped` tells when Ctrl-C has ended play
  // (a pass that starts then never plays); `width` is the terminal's, 0 when not a terminal.
  CPlayDisplay(const CPlayer& player, std::string loadedText, std::FILE* out, int width,
               std::function<bool()> stopped);

  void OnPlayerNotification(const PlayerNotification& notification) override;
  // Ends the live line, so that what is printed next starts on a line of its own.
  void Finish();

  // The live line for the notes of `row` in `notes` (each a note index): the phrase's text on
  // one line without its comments, the notes in reverse video, cut around the first of them
  // to `width` columns.
  std::string LiveLine(int32_t row, const int32_t* notes, int count) const;

 private:
  void PrintPass();
  // Appends bytes [from, to) of the phrase that starts at `begin` to the line shown, with their
  // marks; `firstShown` becomes where byte `firstMark` went.
  void ShowBytes(size_t begin, size_t from, size_t to, const std::string& marked, size_t firstMark,
                 std::string& shown, std::string& shownMarks, size_t& firstShown) const;

  const CPlayer& player_;
  std::string text_;
  std::vector<CommentSpan> comments_;  // in text_, as the parser reads them
  std::FILE* out_;
  int width_;
  std::function<bool()> stopped_;
  bool liveShown_ = false;
  int32_t row_ = -1;
  int32_t at_ = 0;
  int32_t notes_[64] = {};
  int noteCount_ = 0;
};

// The columns of the terminal `stream` writes to; 0 when it is not a terminal.
int TerminalWidth(std::FILE* stream);
