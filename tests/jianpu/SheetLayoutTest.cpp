// The sheet of a score as a table: the text typed, and the sheet read back as a reader reads
// it. Digits carry their octave dots (' above, , below), sharp (#) and underlines (_).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jianpu/SheetLayout.h"
#include "tests/jianpu/SheetDescription.h"

namespace {

using jianpu::ItemKind;
using jianpusheet::Describe;
using jianpusheet::ItemsOf;

struct SheetCase {
  const char* score;
  const char* sheet;
};

TEST(SheetLayoutTest, NotesAreWrittenAsTheirValueAndPitch) {
  const SheetCase cases[] = {
      {"1,1,1,2,1,3,1,4,1,5,1,6,1,7,1,0", "1 2 3 4 5 6 7 0 ‖"},
      // Octaves: a dot per octave above or below.
      {"1,10,1,100,1,0.5,1,0.01", "'1 ''1 ,5 ,,1 ‖"},
      // Raised a semitone.
      {"1,1.5,1,15,1,0.45", "#1 '#1 ,#4 ‖"},
      // Longer notes: a dash per further beat; a long rest is a 0 per beat.
      {"10,5,100,6,1000,0", "5 - 6 - - 0 0 0 0 ‖"},
      // Shorter: underlines; dotted: augmentation dots.
      {"0.1,1,0.1,2,0.01,3,0.01,4,0.1,5", "1_ 2_ 3__ 4__ 5_ ‖"},
      {"1.1,1,0.1,2,0.11,3,0.01,4", "1 . 2_ 3_ . 4__ ‖"},
      {"10.1,5,0.1,3", "5 - . 3_ ‖"},
      {"0.001,1,0.001,2,0.001,3,0.001,4,0.1,5", "1___ 2___ 3___ 4___ 5_ ‖"},
      {"0.1,0,0.1,5", "0_ 5_ ‖"},
      // A length no single head writes: tied heads.
      {"1.01,1,0.01,2,0.1,3", "1 1__ 2__ 3_ ‖"},
      // Chords stacked, the lowest below.
      {"0,5,0,10,1,3", "3/5/'1 ‖"},
      // Triplets under their bracket.
      {"0.3,1,0.3,2,0.3,3,1,4", "(3 1_ 2_ 3_ 4 ‖"},
      {"3,1,0.3,2,1,3", "(3 1 2_ 3 ‖"},
      // Phrases between bar lines.
      {"1,1|1,2|1,3", "1 | 2 | 3 ‖"},
  };
  for (const SheetCase& c : cases) EXPECT_EQ(Describe(c.score), c.sheet) << c.score;
}

// Each underline's level and the digits it joins.
std::vector<std::string> Underlines(const std::string& score) {
  const std::vector<jianpu::SheetLine> lines =
      jianpu::LayOutLines(jianpu::ReadSheet(score), 10000.0);
  std::vector<std::string> found;
  for (const jianpu::SheetLine& line : lines)
    for (const jianpu::SheetItem& item : line.items)
      if (item.kind == ItemKind::kUnderline)
        found.push_back(std::to_string(item.level) + ":" +
                        jianpusheet::DigitsUnder(line.items, item));
  return found;
}

TEST(SheetLayoutTest, TheNotesOfOneBeatShareTheirUnderlines) {
  using Lines = std::vector<std::string>;
  EXPECT_EQ(Underlines("0.1,1,0.1,2,0.1,3,0.1,4"), (Lines{"1:12", "1:34"}));
  EXPECT_EQ(Underlines("0.1,1,0.01,2,0.01,3"), (Lines{"1:123", "2:23"}));
  EXPECT_EQ(Underlines("0.11,1,0.01,2,0.1,3,0.1,4"), (Lines{"1:12", "2:2", "1:34"}));
  // A beat's underlines stop at the beat and at a note of a beat or more.
  EXPECT_EQ(Underlines("0.1,1,1,2,0.1,3"), (Lines{"1:1", "1:3"}));
  // A triplet's notes share theirs.
  EXPECT_EQ(Underlines("0.3,1,0.3,2,0.3,3"), (Lines{"1:123"}));
  // Each voice has its own.
  EXPECT_EQ(Underlines("0.1,1,0.1,2 &0.1,5,0.1,6"), (Lines{"1:12", "1:56"}));
}

TEST(SheetLayoutTest, VoicesStandOnParallelRowsAlignedByBeat) {
  const std::vector<jianpu::SheetLine> lines =
      jianpu::LayOutLines(jianpu::ReadSheet("1,1,0.1,2,0.1,3 &0.1,5,0.1,6,1,7"), 10000.0);
  ASSERT_EQ(lines.size(), 1u);
  std::vector<jianpu::SheetItem> digits = ItemsOf(lines, ItemKind::kDigit);
  ASSERT_EQ(digits.size(), 6u);
  const auto at = [&](const char* digit) {
    for (const jianpu::SheetItem& d : digits)
      if (d.text == digit) return d;
    return jianpu::SheetItem{};
  };
  // Beat 0: 1 over 5; beat 1: 2 over 7; the second voice on the row below.
  EXPECT_DOUBLE_EQ(at("1").x, at("5").x);
  EXPECT_DOUBLE_EQ(at("2").x, at("7").x);
  EXPECT_LT(at("5").x, at("6").x);
  EXPECT_LT(at("6").x, at("7").x);
  EXPECT_GT(at("5").y, at("1").y + jianpu::kDigitHeight);
  EXPECT_DOUBLE_EQ(at("5").y, at("7").y);
  // One bar line across both rows.
  const std::vector<jianpu::SheetItem> bars = ItemsOf(lines, ItemKind::kBarLine);
  ASSERT_EQ(bars.size(), 1u);
  EXPECT_LT(bars[0].y, at("1").y);
  EXPECT_GT(bars[0].y + bars[0].height, at("5").y + jianpu::kDigitHeight);
}

TEST(SheetLayoutTest, NoDigitOrSharpOverlapsAnotherInItsRow) {
  const char* const scores[] = {
      // A wide sharp in one voice pushes the shared column; the other voice's next note
      // must still clear its own digit.
      "1,1,0.1,2,0.1,4.5,1,3 &0.1,1,0.1,1.5,1,2,1,3",
      "0.01,1.5,0.01,2.5,0.01,4.5,0.01,5.5,1,6 &1,1,1,2",
      "0.1,1,0.1,2,0.3,3,0.3,4,0.3,5,1,6 &0,1,0,3,1,5,1.1,4.5,0.1,10",
  };
  for (const char* score : scores) {
    const std::vector<jianpu::SheetLine> lines =
        jianpu::LayOutLines(jianpu::ReadSheet(score), 10000.0);
    std::vector<jianpu::SheetItem> heads;
    for (const jianpu::SheetItem& item : ItemsOf(lines, ItemKind::kDigit)) heads.push_back(item);
    for (const jianpu::SheetItem& item : ItemsOf(lines, ItemKind::kSharp)) heads.push_back(item);
    for (const jianpu::SheetItem& a : heads) {
      for (const jianpu::SheetItem& b : heads) {
        const bool sameRow = a.y < b.y + b.height && b.y < a.y + a.height;
        if (&a == &b || !sameRow) continue;
        const bool apart = a.x + a.width <= b.x + 1e-9 || b.x + b.width <= a.x + 1e-9;
        EXPECT_TRUE(apart) << score << ": " << a.text << " at " << a.x << " and " << b.text
                           << " at " << b.x;
      }
    }
  }
}

TEST(SheetLayoutTest, KeyAndTempoStandAtTheStartAndWhereTheyChange) {
  const std::vector<jianpu::SheetLine> lines =
      jianpu::LayOutLines(jianpu::ReadSheet("do=F,s=100,1,1|1,2|do=Bb,1,3|s=90,1,4|1,5"), 10000.0);
  std::vector<std::string> headers;
  for (const jianpu::SheetItem& item : ItemsOf(lines, ItemKind::kHeader))
    headers.push_back(item.text);
  EXPECT_EQ(headers, (std::vector<std::string>{"1=F  ♩=100", "1=♭B", "♩=90"}));
  // Without a key or a tempo: C and the tempo every score starts with.
  const std::vector<jianpu::SheetItem> plain =
      ItemsOf(jianpu::LayOutLines(jianpu::ReadSheet("1,1"), 1000.0), ItemKind::kHeader);
  ASSERT_EQ(plain.size(), 1u);
  EXPECT_EQ(plain[0].text, "1=C  ♩=120");
}

TEST(SheetLayoutTest, KeysAreNamedAsWrittenAndAsPracticeRaisesThem) {
  EXPECT_EQ(jianpu::KeyText('F', 0), "1=F");
  EXPECT_EQ(jianpu::KeyText('B', -1), "1=♭B");
  EXPECT_EQ(jianpu::KeyText('C', 1), "1=♯C");
  EXPECT_EQ(jianpu::KeyText('F', 0, 1), "1=♯F");
  EXPECT_EQ(jianpu::KeyText('C', 0, 2), "1=D");
  EXPECT_EQ(jianpu::KeyText('B', 0, 1), "1=C");
  EXPECT_EQ(jianpu::KeyText('A', 0, 23), "1=♭A");
}

TEST(SheetLayoutTest, EveryNoteKnowsTheBytesOfItsTwoNumbers) {
  const struct {
    const char* score;
    const char* digit;
    jianpu::SourceRange source;
  } cases[] = {
      {"1,1, 0.1,5", "5", {5, 10}},
      {"|1,1|1,2", "2", {5, 8}},  // the leading '|' counts
      {"/* x */1,3", "3", {7, 10}},
      {"0,1,1,3", "1", {0, 3}},  // each digit of a chord its own note
  };
  for (const auto& c : cases) {
    const std::vector<jianpu::SheetLine> lines =
        jianpu::LayOutLines(jianpu::ReadSheet(c.score), 1000.0);
    bool found = false;
    for (const jianpu::SheetItem& d : ItemsOf(lines, ItemKind::kDigit)) {
      if (d.text != c.digit) continue;
      found = true;
      EXPECT_EQ(d.source.start, c.source.start) << c.score;
      EXPECT_EQ(d.source.end, c.source.end) << c.score;
    }
    EXPECT_TRUE(found) << c.score;
  }
}

TEST(SheetLayoutTest, ARefusedPhraseIsMarkedWithTheParsersMessageWhereItStands) {
  const std::string score = "1,1|1,8|1,3|2,1";
  const jianpu::Sheet sheet = jianpu::ReadSheet(score);
  const std::vector<jianpu::SheetLine> lines = jianpu::LayOutLines(sheet, 10000.0);
  const std::vector<jianpu::SheetItem> faults = ItemsOf(lines, ItemKind::kFault);
  ASSERT_EQ(faults.size(), 2u);
  EXPECT_EQ(faults[0].message, "error tune 1111!");
  EXPECT_EQ(faults[0].text, "1,8");
  EXPECT_EQ(faults[0].source.start, 4);
  EXPECT_EQ(faults[0].source.end, 7);
  EXPECT_EQ(faults[1].message, "error timeing001!");
  // The phrases around them are drawn, in their places.
  const std::vector<jianpu::SheetItem> digits = ItemsOf(lines, ItemKind::kDigit);
  ASSERT_EQ(digits.size(), 2u);
  EXPECT_LT(digits[0].x, faults[0].x);
  EXPECT_GT(digits[1].x, faults[0].x);
  EXPECT_LT(digits[1].x, faults[1].x);

  // A text the parser refuses as a whole is one mark with the message.
  const jianpu::Sheet tooLong = jianpu::ReadSheet(std::string(60000, ' ') + "1,1");
  ASSERT_EQ(tooLong.faults.size(), 1u);
  EXPECT_EQ(tooLong.faults[0].offset, -1);
  EXPECT_EQ(ItemsOf(jianpu::LayOutLines(tooLong, 500.0), ItemKind::kFault).size(), 1u);
}

TEST(SheetLayoutTest, ManyRefusedPhrasesEndInOneMarkForTheRest) {
  std::string score;
  for (int i = 0; i < 200; ++i) score += "1,9|";
  score += "1,1";
  const jianpu::Sheet sheet = jianpu::ReadSheet(score);
  EXPECT_EQ(static_cast<int32_t>(sheet.faults.size()), jianpu::kMaxSheetFaults);
  EXPECT_EQ(sheet.faults.back().offset + sheet.faults.back().length,
            static_cast<int32_t>(score.size()));
}

}  // namespace
