// Where a byte of a score text stands for a person: line and column, whatever the line ends.
#include <gtest/gtest.h>

#include "notation/TextPosition.h"

namespace {

TEST(TextPositionTest, LinesEndAtAnyLineBreakAndColumnsCountCharacters) {
  const struct {
    const char* what;
    const char* text;
    int32_t offset;
    int32_t line;
    int32_t column;
  } cases[] = {
      {"the first byte", "1,1|1,2", 0, 1, 1},
      {"on the first line", "1,1|1,2", 4, 1, 5},
      {"after LF", "1,1\n1,2", 4, 2, 1},
      {"after CR LF", "1,1\r\n1,2", 5, 2, 1},
      {"the LF of a CR LF is on the line it ends", "1,1\r\n1,2", 4, 1, 4},
      {"after a lone CR", "1,1\r1,2", 4, 2, 1},
      {"CR CR LF: two line breaks", "1,1\r\r\n1,2", 6, 3, 1},
      {"a full-width character is one column", "do＝F,1,1", 5, 1, 4},
      {"#4 after Chinese", "/*小星星*/1,#4", 15, 1, 10},
      {"past the end: the end", "1,1\n1", 99, 2, 2},
      {"before the start: the start", "1,1", -3, 1, 1},
  };
  for (const auto& c : cases) {
    const TextPosition at = PositionOf(c.text, c.offset);
    EXPECT_EQ(at.line, c.line) << c.what;
    EXPECT_EQ(at.column, c.column) << c.what;
  }
}

}  // namespace
