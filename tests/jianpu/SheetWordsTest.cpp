// The song on the sheet: each syllable centred under its note, verses stacked, a held
// syllable's line, a bar line after every measure counted from the pickup, the meter at the
// head and the title.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "jianpu/SheetLayout.h"
#include "tests/jianpu/SheetDescription.h"

namespace {

using jianpu::ItemKind;
using jianpu::SheetItem;
using jianpu::SheetLine;
using jianpusheet::Describe;
using jianpusheet::ItemsOf;

std::vector<SheetLine> Lines(const std::string& score, double width = 10000.0) {
  return jianpu::LayOutLines(jianpu::ReadSheet(score), width);
}

// The syllables of verse `verse`, left to right, each as "text/digit": the digit whose centre
// it stands centred under, "?" when it stands under none.
std::string VerseUnderNotes(const std::vector<SheetLine>& lines, int verse) {
  std::string text;
  for (const SheetLine& line : lines) {
    std::vector<const SheetItem*> syllables;
    for (const SheetItem& item : line.items)
      if (item.kind == ItemKind::kSyllable && item.level == verse) syllables.push_back(&item);
    std::sort(syllables.begin(), syllables.end(),
              [](const SheetItem* a, const SheetItem* b) { return a->x < b->x; });
    for (const SheetItem* syllable : syllables) {
      std::string digit = "?";
      for (const SheetItem& d : line.items)
        if (d.kind == ItemKind::kDigit && d.y + d.height < syllable->y &&
            std::fabs(d.x + d.width / 2 - (syllable->x + syllable->width / 2)) < 0.01)
          digit = d.text;
      text += (text.empty() ? "" : " ") + syllable->text + "/" + digit;
    }
  }
  return text;
}

TEST(SheetWordsTest, EachSyllableStandsCentredUnderItsNote) {
  const struct {
    const char* score;
    const char* verse1;
  } cases[] = {
      {"/*词: 好一朵美丽*/1,3,1,3,0.1,5,0.1,6,1,10", "好/3 一/3 朵/5 美/6 丽/1"},
      {"/*words: Twin-kle twin-kle*/1,1,1,1,1,5,1,5", "Twin-/1 kle/1 twin-/5 kle/5"},
      // Rests take none; a chord's syllable stands under the chord.
      {"/*词: 和声*/1,0,0,1,0,3,1,5,1,6", "和/5 声/6"},
      // '*' leaves a note without; a tied note's syllable under its first head.
      {"/*words: a * b*/1,1,1,2,1.01,3", "a/1 b/3"},
      // The second voice sings none.
      {"/*词: 上声*/1,1,1,2 &1,5,1,6", "上/1 声/2"},
  };
  for (const auto& c : cases) EXPECT_EQ(VerseUnderNotes(Lines(c.score), 0), c.verse1) << c.score;
}

TEST(SheetWordsTest, SyllablesAreSetApartAndTheNotesMakeRoomForThem) {
  // Long English syllables over eighth notes: no two overlap.
  const std::vector<SheetItem> syllables =
      ItemsOf(Lines("/*words: Won-der-ful-ly strong-est*/0.1,1,0.1,2,0.1,3,0.1,4,0.1,5"),
              ItemKind::kSyllable);
  ASSERT_EQ(syllables.size(), 5u);
  for (size_t i = 1; i < syllables.size(); ++i)
    EXPECT_GE(syllables[i].x, syllables[i - 1].x + syllables[i - 1].width)
        << syllables[i - 1].text << " " << syllables[i].text;
  // The room is the words': a beat's underline still ends at its last digit, and a triplet's
  // bracket over its last head.
  const std::vector<SheetLine> lines =
      Lines("/*words: Won-der-ful-ly*/0.1,1,0.1,2,0.3,3,0.3,4,0.3,5");
  const std::vector<SheetItem> digits = ItemsOf(lines, ItemKind::kDigit);
  const std::vector<SheetItem> underlines = ItemsOf(lines, ItemKind::kUnderline);
  const std::vector<SheetItem> brackets = ItemsOf(lines, ItemKind::kTriplet);
  ASSERT_EQ(digits.size(), 5u);
  ASSERT_EQ(underlines.size(), 2u);
  ASSERT_EQ(brackets.size(), 1u);
  EXPECT_DOUBLE_EQ(underlines[0].x + underlines[0].width, digits[1].x + digits[1].width);
  EXPECT_DOUBLE_EQ(brackets[0].x + brackets[0].width, digits[4].x + digits[4].width);
}

TEST(SheetWordsTest, VersesStandOneUnderAnotherAndTheLineGrowsWithThem) {
  const std::string music = "1,1,1,1|1,2,1,3,1,4";
  const std::string twoVerses =
      "/*words: Row row*//*words2: Merr-i-*/1,1,1,1|1,2,/*words2: ly*/1,3,1,4";
  const std::vector<SheetLine> lines = Lines(twoVerses);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(VerseUnderNotes(lines, 0), "Row/1 row/1");
  EXPECT_EQ(VerseUnderNotes(lines, 1), "Merr-/1 i-/1 ly/2");
  std::vector<double> verseY[2];
  for (const SheetItem& item : ItemsOf(lines, ItemKind::kSyllable))
    verseY[item.level].push_back(item.y);
  for (int verse = 0; verse < 2; ++verse)
    for (double y : verseY[verse]) EXPECT_DOUBLE_EQ(y, verseY[verse][0]);  // one line a verse
  EXPECT_DOUBLE_EQ(verseY[1][0] - verseY[0][0], jianpu::kVerseHeight);

  const double bare = Lines(music)[0].height;
  const double one = Lines("/*words: Row row*/1,1,1,1|1,2,1,3,1,4")[0].height;
  EXPECT_GT(one, bare + jianpu::kWordsSize);
  EXPECT_DOUBLE_EQ(lines[0].height - one, jianpu::kVerseHeight);
  // The bar lines stop over the words: they run down the notes only.
  for (const SheetItem& bar : ItemsOf(lines, ItemKind::kBarLine))
    EXPECT_LT(bar.y + bar.height, verseY[0][0]);
}

TEST(SheetWordsTest, AHeldSyllablesLineRunsUnderTheNotesItGoesOnOver) {
  const std::vector<SheetLine> lines = Lines("/*words: Oh _ _ my*/1,1,1,2,1,3,1,4");
  const std::vector<SheetItem> digits = ItemsOf(lines, ItemKind::kDigit);
  const std::vector<SheetItem> syllables = ItemsOf(lines, ItemKind::kSyllable);
  const std::vector<SheetItem> held = ItemsOf(lines, ItemKind::kExtender);
  ASSERT_EQ(digits.size(), 4u);
  ASSERT_EQ(syllables.size(), 2u);
  ASSERT_EQ(held.size(), 1u);
  // From after "Oh" to the end of the third note, on the words' line.
  EXPECT_GE(held[0].x, syllables[0].x + syllables[0].width);
  EXPECT_LT(held[0].x, digits[1].x);
  EXPECT_DOUBLE_EQ(held[0].x + held[0].width, digits[2].x + digits[2].width);
  EXPECT_GT(held[0].y, syllables[0].y);
  EXPECT_LT(held[0].y, syllables[0].y + syllables[0].height);
  // Nothing held: no line; a held syllable broken onto the next line goes on from its start.
  EXPECT_TRUE(ItemsOf(Lines("/*words: Oh my*/1,1,1,2"), ItemKind::kExtender).empty());
  const std::vector<SheetLine> broken =
      Lines("/*words: Oh _ _ _ _ _ _ _*/1,1,1,2,1,3,1,4,1,5,1,6,1,7,1,10", 60.0);
  ASSERT_GT(broken.size(), 1u);
  const std::vector<SheetItem> second = ItemsOf({broken[1]}, ItemKind::kExtender);
  ASSERT_EQ(second.size(), 1u);
  EXPECT_DOUBLE_EQ(second[0].x, 0.0);
}

TEST(SheetWordsTest, ABarLineStandsAfterEveryMeasureCountedFromThePickup) {
  const struct {
    const char* score;
    const char* sheet;
  } cases[] = {
      {"1,1,1,2,1,3,1,4", "1 2 3 4 ‖"},  // no meter: phrase ends only
      {"/*meter: 2/4*/1,1,1,2,1,3,1,4", "1 2 | 3 4 ‖"},
      {"/*meter: 3/4, pickup 1*/1,5,1,1,1,2,1,3,1,4", "5 | 1 2 3 | 4 ‖"},
      // Measures run on across phrases; a phrase's end is drawn as before.
      {"/*meter: 2/4*/1,1,1,2,1,3|1,4,1,5,1,6", "1 2 | 3 | 4 | 5 6 ‖"},
      {"/*拍号: 2/4*/1,1,1,2|/*拍号: 3/4*/1,3,1,4,1,5,1,6", "1 2 | 3 4 5 | 6 ‖"},
      // A long note's dashes and the voices share the bar lines.
      {"/*meter: 2/4*/10,1,1,2,1,3 &1,5,1,6,1,7,1,10", "5/1 6 - | 7/2 '1/3 ‖"},
  };
  for (const auto& c : cases) EXPECT_EQ(Describe(c.score), c.sheet) << c.score;
  // A bar line stands clear of the notes on either side.
  const std::vector<SheetLine> lines = Lines("/*meter: 2/4*/1,1,0.1,2,0.1,3,1,4");
  const std::vector<SheetItem> digits = ItemsOf(lines, ItemKind::kDigit);
  const std::vector<SheetItem> bars = ItemsOf(lines, ItemKind::kBarLine);
  ASSERT_EQ(bars.size(), 2u);
  EXPECT_GT(bars[0].x, digits[2].x + digits[2].width + 2.0);
  EXPECT_LT(bars[0].x, digits[3].x - 2.0);
}

TEST(SheetWordsTest, ALongPhraseBreaksAtAMeasuresEndWithItsBarLine) {
  const std::string score = "/*meter: 3/4*/1,1,1,2,1,3,1,4,1,5,1,6,1,7,1,10,1,7";
  // Room for one measure a line, and for two and a little more: the break is at the bar line,
  // not at the last beat that would fit.
  const struct {
    double width;
    const char* sheet;
  } cases[] = {{70.0, "1 2 3 | / 4 5 6 | / 7 '1 7 ‖"}, {120.0, "1 2 3 | 4 5 6 | / 7 '1 7 ‖"}};
  for (const auto& c : cases) {
    std::string sheet;
    for (const SheetLine& line : Lines(score, c.width))
      sheet += (sheet.empty() ? "" : " / ") + jianpusheet::DescribeItems(line.items);
    EXPECT_EQ(sheet, c.sheet) << c.width;
  }
}

TEST(SheetWordsTest, TheHeadShowsKeyMeterAndTempoAndTheTitleFallsBackToTheFilesName) {
  std::vector<std::string> headers;
  for (const SheetItem& item :
       ItemsOf(Lines("do=F,s=72,/*拍号: 2/4*/1,1,1,1|1,2,1,2|/*meter: 3/4*/1,3,1,3,1,3"),
               ItemKind::kHeader))
    headers.push_back(item.text);
  EXPECT_EQ(headers, (std::vector<std::string>{"1=F  2/4  ♩=72", "3/4"}));

  const jianpu::Sheet titled = jianpu::ReadSheet("/*标题: 茉莉花*/1,1");
  const jianpu::Sheet untitled = jianpu::ReadSheet("/*标题:*/1,1");
  EXPECT_EQ(jianpu::SheetTitle(titled, "/songs/jasmine.txt"), "茉莉花");
  EXPECT_EQ(jianpu::SheetTitle(untitled, "/songs/jasmine.txt"), "jasmine");
  EXPECT_EQ(jianpu::SheetTitle(untitled, "jasmine.flower.txt"), "jasmine.flower");
  EXPECT_EQ(jianpu::SheetTitle(untitled, ".hidden"), ".hidden");
  EXPECT_EQ(jianpu::SheetTitle(untitled, "-"), "");
  EXPECT_EQ(jianpu::SheetTitle(untitled, ""), "");
  // The view's sheet stands under its title, and without one starts at the top.
  const std::vector<SheetLine> lines = Lines("1,1");
  const jianpu::SheetPage page = jianpu::StackLines(lines, "茉莉花", 300.0);
  ASSERT_FALSE(page.items.empty());
  EXPECT_EQ(page.items[0].kind, ItemKind::kTitle);
  EXPECT_EQ(page.items[0].text, "茉莉花");
  const jianpu::SheetPage bare = jianpu::StackLines(lines);
  for (const SheetItem& item : bare.items) EXPECT_NE(item.kind, ItemKind::kTitle);
}

}  // namespace
