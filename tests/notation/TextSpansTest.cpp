// Where a phrase and a note stand in the text as typed: the byte ranges the score view, the
// window's follow-along highlight and the terminal's live line all mark.

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <optional>
#include <string>

#include "NotationTestSupport.h"
#include "notation/TextSpans.h"

namespace {

constexpr int32_t kPhrase = std::numeric_limits<int32_t>::min();

struct SpanCase {
  const char* why;
  std::string text;
  int32_t row;
  int32_t note;  // kPhrase: the phrase as a whole
  std::optional<TextSpan> span;
  const char* typed;  // the bytes the span holds
};

TEST(TextSpansTest, PhrasesAndNotesWhereTheyWereTyped) {
  const SpanCase cases[] = {
      {"a phrase", "1,1,1,2", 0, kPhrase, TextSpan{0, 7}, "1,1,1,2"},
      {"its first note", "1,1,1,2", 0, 0, TextSpan{0, 3}, "1,1"},
      {"its last note", "1,1,1,2", 0, 1, TextSpan{4, 7}, "1,2"},
      {"a second phrase", "1,1|1,2", 1, 0, TextSpan{4, 7}, "1,2"},
      {"a leading bar shifts the first phrase", "|1,1|1,2", 0, kPhrase, TextSpan{1, 4}, "1,1"},
      {"a leading bar shifts a note", "|1,1|1,2", 1, 0, TextSpan{5, 8}, "1,2"},
      {"a trailing bar shifts nothing", "1,1|1,2|", 1, 0, TextSpan{4, 7}, "1,2"},
      {"the second voice's first note", "1,1,1,2 &1,3,1,4", 0, 2, TextSpan{9, 12}, "1,3"},
      {"a third voice", "1,1 &1,2 &1,3", 0, 2, TextSpan{10, 13}, "1,3"},
      {"a comment before the notes", "/*x*/1,1,1,2", 0, 0, TextSpan{5, 8}, "1,1"},
      {"a comment between numbers", "1,/*x*/1,1,2", 0, 0, TextSpan{0, 8}, "1,/*x*/1"},
      {"a chord's zero-length note", "0,5,0,10,1,3", 0, 1, TextSpan{4, 8}, "0,10"},
      {"the note a chord sounds with", "0,5,0,10,1,3", 0, 2, TextSpan{9, 12}, "1,3"},
      {"after a CR LF", "1,1\r\n1,2", 0, 1, TextSpan{5, 8}, "1,2"},
      {"a phrase after CR LF lines", "1,1\r\n|\r\n1,3", 1, 0, TextSpan{8, 11}, "1,3"},
      {"a leading bar and CR LF", "|\r\n1,1", 0, 0, TextSpan{3, 6}, "1,1"},
      {"after a tempo field", "s=100,1,1", 0, 0, TextSpan{6, 9}, "1,1"},
      {"after a key field", "do=F,1,1", 0, 0, TextSpan{5, 8}, "1,1"},
      {"a dotted length", "1.,1,0.1,2", 0, 1, TextSpan{5, 10}, "0.1,2"},
      {"no such note", "1,1,1,2", 0, 2, std::nullopt, ""},
      {"a negative note", "1,1,1,2", 0, -1, std::nullopt, ""},
      {"no such phrase", "1,1|1,2", 2, 0, std::nullopt, ""},
      {"no such phrase, as a whole", "1,1|1,2", 2, kPhrase, std::nullopt, ""},
      {"a negative phrase", "1,1", -1, 0, std::nullopt, ""},
  };
  auto score = std::make_unique<Score>();
  for (const SpanCase& c : cases) {
    ASSERT_EQ(notation_test::ParseOutcome(c.text, *score), "") << c.why;
    const int32_t shift = LeadingBarShift(c.text);
    const std::optional<TextSpan> span = c.note == kPhrase
                                             ? PhraseTextSpan(*score, c.row, shift)
                                             : NoteTextSpan(*score, c.row, c.note, shift);
    ASSERT_EQ(span.has_value(), c.span.has_value()) << c.why;
    if (!span) continue;
    EXPECT_EQ(span->begin, c.span->begin) << c.why;
    EXPECT_EQ(span->end, c.span->end) << c.why;
    EXPECT_EQ(c.text.substr(static_cast<size_t>(span->begin),
                            static_cast<size_t>(span->end - span->begin)),
              c.typed)
        << c.why;
  }
}

TEST(TextSpansTest, OnlyALeadingBarShifts) {
  EXPECT_EQ(LeadingBarShift(""), 0);
  EXPECT_EQ(LeadingBarShift("|"), 1);
  EXPECT_EQ(LeadingBarShift("|1,1"), 1);
  EXPECT_EQ(LeadingBarShift("||1,1"), 1);  // the parser drops one
  EXPECT_EQ(LeadingBarShift("1,1|"), 0);
  EXPECT_EQ(LeadingBarShift(" |1,1"), 0);
  EXPECT_EQ(LeadingBarShift("\r\n|1,1"), 0);
}

}  // namespace
