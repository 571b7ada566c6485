#include "notation/Comments.h"

#include <algorithm>

int32_t CommentEnd(const char* text, int32_t length, int32_t open) {
  // The '*' of the opening "/*" cannot also close it.
  for (int32_t j = open + 2; j < length - 1; ++j)
    if (text[j] == '*' && text[j + 1] == '/') return j + 1;
  return length - 1;
}

std::vector<CommentSpan> CommentSpans(std::string_view text) {
  std::vector<CommentSpan> spans;
  // The stretch the parser copies: without a '|' at either end, up to a zero byte.
  const int32_t lead = !text.empty() && text[0] == '|' ? 1 : 0;
  std::string_view work = text.substr(static_cast<size_t>(lead));
  if (!work.empty() && work.back() == '|') work.remove_suffix(1);
  work = work.substr(0, std::min(work.size(), work.find('\0')));
  const int32_t n = static_cast<int32_t>(work.size());
  for (int32_t i = 0; i + 1 < n; ++i) {
    if (work[i] != '/' || work[i + 1] != '*') continue;
    const int32_t end = CommentEnd(work.data(), n, i);
    spans.push_back({i + lead, end + 1 + lead});
    i = end;
  }
  return spans;
}

std::string WithoutComments(std::string_view text) {
  const auto isNumber = [](char c) { return (c >= '0' && c <= '9') || c == '.'; };
  std::string out;
  out.reserve(text.size());
  size_t at = 0;
  for (const CommentSpan& span : CommentSpans(text)) {
    out.append(text.substr(at, static_cast<size_t>(span.begin) - at));
    at = static_cast<size_t>(span.end);
    if (!out.empty() && at < text.size() && isNumber(out.back()) && isNumber(text[at])) out += ' ';
  }
  out.append(text.substr(at));
  return out;
}
