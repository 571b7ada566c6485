// A long score across lines and pages: nothing lost, nothing past the edge, phrases kept
// whole where they fit, long ones broken at whole beats, pages numbered "n / m".
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "jianpu/SheetLayout.h"
#include "tests/jianpu/SheetDescription.h"

namespace {

using jianpu::ItemKind;
using jianpu::SheetItem;
using jianpu::SheetLine;

// The digits of every line, in reading order, one string per line.
std::vector<std::string> DigitsByLine(const std::vector<SheetLine>& lines) {
  std::vector<std::string> found;
  for (const SheetLine& line : lines) {
    std::vector<SheetItem> digits;
    for (const SheetItem& item : line.items)
      if (item.kind == ItemKind::kDigit) digits.push_back(item);
    std::sort(digits.begin(), digits.end(),
              [](const SheetItem& a, const SheetItem& b) { return a.x < b.x; });
    std::string text;
    for (const SheetItem& d : digits) text += d.text;
    found.push_back(text);
  }
  return found;
}

double RightEdge(const SheetLine& line) {
  double right = 0.0;
  for (const SheetItem& item : line.items)
    if (item.kind != ItemKind::kPhrase && item.kind != ItemKind::kBarLine)
      right = std::max(right, item.x + item.width);
  return right;
}

std::string Repeat(const std::string& phrase, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += (i > 0 ? "|" : "") + phrase;
  return text;
}

TEST(SheetWrapTest, PhrasesThatFitAreKeptWholeOnLinesOfTheGivenWidth) {
  const double width = 150.0;
  const std::vector<SheetLine> lines =
      jianpu::LayOutLines(jianpu::ReadSheet(Repeat("1,1,1,2,1,3,1,4", 9)), width);
  ASSERT_GT(lines.size(), 2u);
  std::string all;
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_LE(RightEdge(lines[i]), width) << "line " << i;
    const std::string digits = DigitsByLine(lines)[i];
    EXPECT_EQ(digits.size() % 4, 0u) << "a phrase was broken on line " << i;
    all += digits;
  }
  std::string expected;
  for (int i = 0; i < 9; ++i) expected += "1234";
  EXPECT_EQ(all, expected);
}

TEST(SheetWrapTest, APhraseLongerThanALineBreaksAtWholeBeats) {
  std::string phrase;
  std::string expected;
  for (int i = 0; i < 40; ++i) {
    phrase += std::string(i > 0 ? "," : "") + "0.1," + std::to_string(1 + i % 7);
    expected += std::to_string(1 + i % 7);
  }
  const double width = 120.0;
  const std::vector<SheetLine> lines = jianpu::LayOutLines(jianpu::ReadSheet(phrase), width);
  ASSERT_GT(lines.size(), 2u);
  std::string all;
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_LE(RightEdge(lines[i]), width) << "line " << i;
    const std::string digits = DigitsByLine(lines)[i];
    // Half-beat notes in pairs: every break falls on a beat, under whole underlines.
    EXPECT_EQ(digits.size() % 2, 0u) << "line " << i;
    all += digits;
  }
  EXPECT_EQ(all, expected);
  // Bar lines only where the phrase ends: the score's end.
  const std::vector<SheetItem> bars = jianpusheet::ItemsOf(lines, ItemKind::kBarLine);
  ASSERT_EQ(bars.size(), 1u);
  EXPECT_EQ(bars[0].level, 2);
}

TEST(SheetWrapTest, TwoVoicesBreakTogether) {
  std::string top, bottom;
  for (int i = 0; i < 24; ++i) {
    top += std::string(i > 0 ? "," : "") + "1,5";
    bottom += std::string(i > 0 ? "," : "") + "0.1,1,0.1,2";
  }
  const std::vector<SheetLine> lines =
      jianpu::LayOutLines(jianpu::ReadSheet(top + " &" + bottom), 150.0);
  ASSERT_GT(lines.size(), 1u);
  for (const std::string& digits : DigitsByLine(lines)) {
    // Each line: n beats of the upper voice over n pairs of the lower.
    const size_t fives = static_cast<size_t>(std::count(digits.begin(), digits.end(), '5'));
    EXPECT_EQ(digits.size(), 3 * fives) << digits;
  }
}

TEST(SheetWrapTest, PagesHoldWholeLinesAndAreNumberedWhenThereAreSeveral) {
  const jianpu::Sheet sheet = jianpu::ReadSheet(Repeat("1,1,1,2,1,3,1,4,0.1,5,0.1,6,10,5", 40));
  const double width = 200.0, height = 300.0;
  const std::vector<jianpu::SheetPage> pages = jianpu::LayOutPages(sheet, width, height, "歌");
  ASSERT_GT(pages.size(), 2u);
  size_t digits = 0;
  for (size_t n = 0; n < pages.size(); ++n) {
    std::vector<std::string> numbers, titles;
    for (const SheetItem& item : pages[n].items) {
      EXPECT_GE(item.y, 0.0);
      EXPECT_LE(item.y + item.height, height);
      if (item.kind == ItemKind::kPageNumber) numbers.push_back(item.text);
      if (item.kind == ItemKind::kTitle) titles.push_back(item.text);
      if (item.kind == ItemKind::kDigit) ++digits;
    }
    EXPECT_EQ(numbers, std::vector<std::string>{std::to_string(n + 1) + " / " +
                                                std::to_string(pages.size())});
    EXPECT_EQ(titles.size(), n == 0 ? 1u : 0u);
  }
  EXPECT_EQ(digits, 40u * 7u);

  // One page: no number.
  const std::vector<jianpu::SheetPage> one =
      jianpu::LayOutPages(jianpu::ReadSheet("1,1"), width, height, "歌");
  ASSERT_EQ(one.size(), 1u);
  for (const SheetItem& item : one[0].items) EXPECT_NE(item.kind, ItemKind::kPageNumber);
}

}  // namespace
