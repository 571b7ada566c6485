#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Comments "/* ... */" in score text. They do not nest, and one that is never closed runs to
// the end of the text.

// Where the comment whose "/*" stands at `open` in the `length` characters at `text` ends:
// the position of its closing '/', or of the text's last character when it is not closed.
int32_t CommentEnd(const char* text, int32_t length, int32_t open);

// The bytes [begin, end) of a text, as given to ParseScore, that the parser reads as comments
// (it drops a '|' at either end of the text and stops at a zero byte first).
struct CommentSpan {
  int32_t begin = 0;
  int32_t end = 0;
};
std::vector<CommentSpan> CommentSpans(std::string_view text);

// `text` with its comments (as CommentSpans finds them) cut out, so that what a score plays
// is told apart from what is written around it. Where a cut would join two numbers, one
// space stands in.
std::string WithoutComments(std::string_view text);
