#pragma once

// Laid-out sheets described as text, the way a reader reads them, for tables of cases.

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "jianpu/Sheet.h"
#include "jianpu/SheetLayout.h"

namespace jianpusheet {

using jianpu::ItemKind;
using jianpu::SheetItem;

inline bool Is(const SheetItem& item, ItemKind kind) { return item.kind == kind; }

// The digits just over an underline, left to right.
inline std::string DigitsUnder(const std::vector<SheetItem>& items, const SheetItem& span) {
  std::vector<const SheetItem*> digits;
  for (const SheetItem& d : items) {
    const double centre = d.x + d.width / 2;
    if (Is(d, ItemKind::kDigit) && centre > span.x && centre < span.x + span.width &&
        span.y >= d.y + d.height && span.y < d.y + d.height + 12.0)
      digits.push_back(&d);
  }
  std::sort(digits.begin(), digits.end(),
            [](const SheetItem* a, const SheetItem* b) { return a->x < b->x; });
  std::string text;
  for (const SheetItem* d : digits) text += d->text;
  return text;
}

// One digit: its octave dots above (') and below (,), its sharp (#), the digit, and its
// underlines (_).
inline std::string DigitToken(const std::vector<SheetItem>& items, const SheetItem& digit) {
  int above = 0, below = 0, lines = 0;
  bool sharp = false;
  const double centre = digit.x + digit.width / 2;
  for (const SheetItem& item : items) {
    if (Is(item, ItemKind::kOctaveDot) && item.note == digit.note &&
        std::fabs(item.x + item.width / 2 - centre) < 0.01) {
      if (item.y < digit.y)
        ++above;
      else
        ++below;
    }
    if (Is(item, ItemKind::kSharp) && item.note == digit.note &&
        std::fabs(item.x + item.width - digit.x) < 0.01)
      sharp = true;
    if (Is(item, ItemKind::kUnderline) && item.x <= centre && item.x + item.width >= centre &&
        item.y > digit.y && item.y < digit.y + 30.0)
      ++lines;
  }
  return std::string(static_cast<size_t>(above), '\'') +
         std::string(static_cast<size_t>(below), ',') + (sharp ? "#" : "") + digit.text +
         std::string(static_cast<size_t>(lines), '_');
}

// The items of one line in reading order: digits (a chord's stacked, bottom first, joined by
// '/'), "-" dashes, "." augmentation dots, "(3" where a triplet bracket starts, "|" bar lines
// and "‖" the score's end.
inline std::string DescribeItems(const std::vector<SheetItem>& items) {
  struct Token {
    double x;
    double y;
    int order;
    std::string text;
  };
  std::vector<Token> tokens;
  for (const SheetItem& item : items) {
    switch (item.kind) {
      case ItemKind::kDigit:
        tokens.push_back({item.x, -item.y, 1, DigitToken(items, item)});
        break;
      case ItemKind::kDash:
        tokens.push_back({item.x, 0, 1, "-"});
        break;
      case ItemKind::kDot:
        tokens.push_back({item.x, 0, 1, "."});
        break;
      case ItemKind::kTriplet:
        tokens.push_back({item.x, 0, 0, "(3"});
        break;
      case ItemKind::kBarLine:
        tokens.push_back({item.x, 0, 1, item.level == 2 ? "‖" : "|"});
        break;
      default:
        break;
    }
  }
  std::sort(tokens.begin(), tokens.end(), [](const Token& a, const Token& b) {
    if (std::fabs(a.x - b.x) > 0.5) return a.x < b.x;
    if (a.order != b.order) return a.order < b.order;
    return a.y < b.y;
  });
  std::string text;
  for (size_t i = 0; i < tokens.size(); ++i) {
    const bool stacked = i > 0 && tokens[i].order == 1 && tokens[i - 1].order == 1 &&
                         std::fabs(tokens[i].x - tokens[i - 1].x) <= 0.5 && tokens[i].text != "|" &&
                         tokens[i].text != "‖";
    if (i > 0) text += stacked ? "/" : " ";
    text += tokens[i].text;
  }
  return text;
}

// Every line of a text laid out `width` wide, lines joined by " / ".
inline std::string Describe(const std::string& score, double width = 10000.0) {
  const jianpu::Sheet sheet = jianpu::ReadSheet(score);
  std::string text;
  for (const jianpu::SheetLine& line : jianpu::LayOutLines(sheet, width)) {
    if (!text.empty()) text += " / ";
    text += DescribeItems(line.items);
  }
  return text;
}

// Items of one kind of every line, in order.
inline std::vector<SheetItem> ItemsOf(const std::vector<jianpu::SheetLine>& lines, ItemKind kind) {
  std::vector<SheetItem> found;
  for (const jianpu::SheetLine& line : lines)
    for (const SheetItem& item : line.items)
      if (item.kind == kind) found.push_back(item);
  return found;
}

}  // namespace jianpusheet
