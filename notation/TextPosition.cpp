#include "notation/TextPosition.h"

#include <algorithm>

TextPosition PositionOf(std::string_view text, int32_t byteOffset) {
  TextPosition at{1, 1};
  const size_t end = std::min(text.size(), static_cast<size_t>(std::max(byteOffset, 0)));
  for (size_t i = 0; i < end; ++i) {
    const char c = text[i];
    if (c == '\n') {
      ++at.line;
      at.column = 1;
    } else if (c == '\r') {
      // A CR before LF belongs to the line break; a lone CR ends a line by itself.
      if (i + 1 >= text.size() || text[i + 1] != '\n') {
        ++at.line;
        at.column = 1;
      }
    } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      ++at.column;
    }
  }
  return at;
}
