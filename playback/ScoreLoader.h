#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "notation/Score.h"
#include "notation/SideTexts.h"
#include "playback/PlayerPlatform.h"

// The 216-character demonstration score loaded at start-up and by the restore command.
extern const char kBuiltInScore[];

// The text buffer: at most 29999 bytes of score text and the terminating zero.
constexpr int32_t kTextBufferSize = 30000;

// Shown when the load command refuses a text that does not fit textBuffer with its zero.
extern const char kTextTooLongMessage[];

// Where the last text a load refused was at fault, as offsets into that text; -1 where the
// parser could not say (and after a text that loaded).
struct ScoreParseFault {
  int32_t phraseOffset = -1;
  int32_t phraseLength = 0;
  int32_t numberOffset = -1;
  int32_t numberLength = 0;
};

// The player's score: the loaded Score, the text buffer texts are copied into, and the
// scratch Score a text is parsed into, which takes the loaded one's place only once it has
// passed every check, so that a bad text leaves everything as it was. Faults are shown
// through the platform.
class CScoreLoader {
 public:
  explicit CScoreLoader(PlayerPlatform& platform);
  CScoreLoader(const CScoreLoader&) = delete;
  CScoreLoader& operator=(const CScoreLoader&) = delete;

  // The loaded Score: a load puts another in its place, so ask again after one.
  Score& Loaded() { return *score_; }
  const Score& Loaded() const { return *score_; }

  // Where the side texts of every parse (into the loaded and the scratch Score) are handed.
  void SetSideTextSink(SideTextSink* sink) {
    score_->sideTextSink = sink;
    scratch_->sideTextSink = sink;
  }
  SideTextSink* SideTextSinkInUse() const { return score_->sideTextSink; }

  // The buffer score texts are copied into to be loaded (kTextBufferSize bytes).
  char* TextBuffer() { return textBuffer_.get(); }

  // Start-up: the built-in score parsed straight into the loaded Score.
  void ParseBuiltIn();
  // Copies scoreText, up to its first zero byte, into textBuffer with its zero; nullptr, with
  // a message, for a text of kTextBufferSize bytes or more. Clears the last fault.
  const char* CopyToBuffer(const std::string& scoreText);
  // Parses `text` (zero-terminated) into the scratch Score and, when it holds phrases that fit
  // the timeline, makes it the loaded Score: true. An empty text is ignored.
  bool Load(const char* text);

  // The share of the written tempo each load plays its phrases at (ScaleTempo), from the next
  // load on.
  void SetTempoPercent(int32_t percent) { tempoPercent_ = percent; }
  int32_t TempoPercent() const { return tempoPercent_; }

  const ScoreParseFault& LastParseFault() const { return lastFault_; }
  // How many texts have been loaded: one more with each text that replaced the Score.
  int32_t LoadCount() const { return loads_; }

 private:
  PlayerPlatform& platform_;
  std::unique_ptr<Score> score_;
  std::unique_ptr<Score> scratch_;  // where a load parses; it becomes score_ once accepted
  std::unique_ptr<char[]> textBuffer_;
  ScoreParseFault lastFault_;
  int32_t loads_ = 0;
  int32_t tempoPercent_ = 100;
};
