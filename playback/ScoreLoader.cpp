#include "playback/ScoreLoader.h"

#include <cstring>
#include <limits>
#include <utility>

#include "notation/ScoreParseError.h"
#include "playback/PracticeTempo.h"
#include "playback/TimelineLayout.h"

const char kBuiltInScore[] =
    "s=100,0.1,1,0.1,2,0.1,3,0.1,4,0.1,5,0.1,6,0.1,7,1,10|0.1,1,0.1,3,0.1,5,0.1,3,1,1|"
    "1,1,1,3,1,5,1,3,0.1,1,0.1,3,0.1,5,0.1,3,10,1|0.11,10,0.01,10,0.11,5,0.01,5,0.11,3,"
    "0.01,3,0.11,1,0.01,1,0.11,5,0.01,4,0.11,3,0.01,2,10,1";
static_assert(sizeof(kBuiltInScore) == 216 + 1, "the built-in score has 216 characters");

const char kTextTooLongMessage[] = "乐谱文本太长：乐谱文本最多 29999 字节。乐谱没有装入。";

CScoreLoader::CScoreLoader(PlayerPlatform& platform)
    : platform_(platform),
      score_(new Score),
      scratch_(new Score),
      textBuffer_(new char[kTextBufferSize]()) {}

void CScoreLoader::ParseBuiltIn() {
  try {
    ParseScore(kBuiltInScore, static_cast<int32_t>(std::strlen(kBuiltInScore)), *score_);
  } catch (const ScoreParseError& error) {
    // Only the side files can fail here, after the Score is complete: report and go on.
    platform_.ShowMessage(error.what());
  }
}

const char* CScoreLoader::CopyToBuffer(const std::string& scoreText) {
  lastFault_ = ScoreParseFault{};
  // The text up to its first zero byte, as a C string copy would take it.
  const size_t length = std::strlen(scoreText.c_str());
  if (length >= static_cast<size_t>(kTextBufferSize)) {
    platform_.ShowMessage(kTextTooLongMessage);
    return nullptr;
  }
  std::memcpy(textBuffer_.get(), scoreText.c_str(), length);
  textBuffer_[length] = '\0';
  return textBuffer_.get();
}

bool CScoreLoader::Load(const char* text) {
  if (text == nullptr || text[0] == '\0') return false;
  const size_t fullLength = std::strlen(text);
  if (fullLength > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    platform_.ShowMessage(kTextTooLongMessage);
    return false;
  }
  const int32_t length = static_cast<int32_t>(fullLength);

  Score& scratch = *scratch_;
  lastFault_ = ScoreParseFault{};
  try {
    ParseScore(text, length, scratch);
  } catch (const ScoreParseError& error) {
    lastFault_ = {error.PhraseOffset(), error.PhraseLength(), error.NumberOffset(),
                  error.NumberLength()};
    platform_.ShowMessage(error.what());
    return false;
  }
  if (scratch.phraseCount == 0) return false;
  ScaleTempo(scratch, tempoPercent_);
  if (const char* problem = CTimelineLayout::Problem(scratch, 0, scratch.phraseCount)) {
    platform_.ShowMessage(problem);
    return false;
  }
  std::swap(score_, scratch_);
  ++loads_;
  return true;
}
