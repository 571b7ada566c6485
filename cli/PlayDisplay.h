#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "notation/Comments.h"
#include "notation/SongWords.h"
#include "playback/PlayerNotification.h"

class CPlayer;

// What `tunwick play` shows: a line as each pass begins (which phrase, which pass, how far
// raised), and, on a terminal, the phrase's text below it with the sounding notes marked and,
// for a phrase with words, its words under that with the syllable being sung marked, both
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
  // The words line under it: the phrase's words in the first verse on one line, the syllable
  // the first of `notes` sings (or holds on) in reverse video, cut around it to `width`
  // columns (a Chinese character takes two); "" for a phrase without words.
  std::string WordsLine(int32_t row, const int32_t* notes, int count) const;

  static constexpr const char* kMarkOn = "\x1b[7m";
  static constexpr const char* kMarkOff = "\x1b[27m";

 private:
  void PrintPass();
  // Clears the lines drawn live and leaves the cursor at the start of the first.
  void ClearLive();
  // The note of phrase `row` whose syllable `note` sings: itself, or the one a held syllable
  // goes on from; -1 when it sings none.
  int32_t SungSyllableNote(int32_t row, int32_t note) const;
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
  Song song_;          // of text_, laid on the loaded score
  int liveLines_ = 0;  // lines drawn live: none, the notes, or the notes and the words
  int32_t row_ = -1;
  int32_t at_ = 0;
  int32_t notes_[64] = {};
  int noteCount_ = 0;
};

// The columns of the terminal `stream` writes to; 0 when it is not a terminal.
int TerminalWidth(std::FILE* stream);
