#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "notation/LookAlikes.h"
#include "notation/TextPosition.h"

// The text of [offset, offset + length) on one line (line breaks as spaces, none at the end),
// cut to at most `most` characters with "…" when longer.
std::string Excerpt(const std::string& text, int32_t offset, int32_t length, int32_t most);

// The lines `tunwick check` prints after the parser's message: where the phrase at fault
// starts and its text, and where the number at fault stands. "" when nothing is located.
std::string DescribeFault(const std::string& text, int32_t phraseOffset, int32_t phraseLength,
                          int32_t numberOffset, int32_t numberLength);

// A warning about byte `offset` of `text`: "tunwick: warning at line 2, column 5: MESSAGE".
struct TextWarning {
  int32_t offset = 0;
  std::string message;
};

// One line for each warning, in the order they stand in the text; "" for none.
std::string DescribeWarnings(const std::string& text, std::vector<TextWarning> warnings);

// A look-alike warning as a TextWarning: "MESSAGE (probably meant: SUGGESTION)".
TextWarning LookAlikeTextWarning(const LookAlikeWarning& warning);
