#pragma once

#include <cstdint>
#include <string_view>

// Where a byte of a score text stands as a person finds it: line and column, both from 1,
// columns in characters of UTF-8 text; a CR LF, an LF or a lone CR ends a line.
struct TextPosition {
  int32_t line = 0;
  int32_t column = 0;
};
TextPosition PositionOf(std::string_view text, int32_t byteOffset);
