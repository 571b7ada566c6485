#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Characters in a score that the parser ignores or reads otherwise than a learner means: a
// full-width ＝ ｜ ＆ or digit, a key or tempo field written in another case, width or with a
// colon, the numbered-notation habits "1=F", "#4", "b7" and "-1". The parser's reading of the
// text is not changed; these are warnings to show beside it. Comments are not looked at.
struct LookAlikeWarning {
  int32_t offset = 0;      // in bytes of the text as given
  int32_t length = 0;      // bytes
  std::string message;     // what the parser makes of it, in Chinese (UTF-8)
  std::string suggestion;  // what was probably meant, as it is written
};

// The warnings for a score text (UTF-8), in text order.
std::vector<LookAlikeWarning> FindLookAlikes(std::string_view text);
