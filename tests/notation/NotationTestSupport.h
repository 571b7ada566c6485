#pragma once

#include <string>

#include "notation/Phrase.h"
#include "notation/Score.h"
#include "notation/ScoreParseError.h"
#include "notation/SideTexts.h"

namespace notation_test {

inline std::string SideText1(const SideTexts& sides) {
  return std::string(sides.sideText1, static_cast<size_t>(sides.sideText1Length));
}
inline std::string SideText2(const SideTexts& sides) {
  return std::string(sides.sideText2, static_cast<size_t>(sides.sideText2Length));
}

// Runs `call`; "" when it succeeds, "<empty>" for EmptyPhrase, else the error's message.
template <typename Call>
std::string OutcomeOf(Call call) {
  try {
    call();
  } catch (const ScoreParseError& error) {
    return error.what();
  } catch (const EmptyPhrase&) {
    return "<empty>";
  }
  return "";
}

// Parses `text` into `score`: "" on success, else the message.
inline std::string ParseOutcome(const std::string& text, Score& score) {
  return OutcomeOf([&] { ParseScore(text.data(), static_cast<int32_t>(text.size()), score); });
}

}  // namespace notation_test
