#include "cli/FaultLocation.h"

#include <algorithm>

#include "cli/CommandSupport.h"

namespace {

bool ContinuesCharacter(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

std::string Excerpt(const std::string& text, int32_t offset, int32_t length, int32_t most) {
  const size_t from = std::min(text.size(), static_cast<size_t>(std::max(offset, 0)));
  const size_t to = std::min(text.size(), from + static_cast<size_t>(std::max(length, 0)));
  std::string out;
  int32_t characters = 0;
  for (size_t i = from; i < to; ++i) {
    const char c = text[i];
    if (!ContinuesCharacter(c)) {
      if (characters == most) return out + "…";
      ++characters;
    }
    out += c == '\r' || c == '\n' || c == '\t' ? ' ' : c;
  }
  // The line break that ends a phrase before its bar shows as nothing.
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

std::string DescribeFault(const std::string& text, int32_t phraseOffset, int32_t phraseLength,
                          int32_t numberOffset, int32_t numberLength) {
  if (phraseOffset < 0) return {};
  constexpr int32_t kMostShown = 60;
  const TextPosition phrase = PositionOf(text, phraseOffset);
  std::string out = "  in the phrase at line " + std::to_string(phrase.line) + ", column " +
                    std::to_string(phrase.column) + ": " +
                    Excerpt(text, phraseOffset, phraseLength, kMostShown) + "\n";
  if (numberOffset >= 0) {
    const TextPosition number = PositionOf(text, numberOffset);
    out += "  the number at line " + std::to_string(number.line) + ", column " +
           std::to_string(number.column) + ": " +
           Excerpt(text, numberOffset, numberLength, kMostShown) + "\n";
  }
  return out;
}

std::string DescribeWarnings(const std::string& text, std::vector<TextWarning> warnings) {
  std::stable_sort(warnings.begin(), warnings.end(),
                   [](const TextWarning& a, const TextWarning& b) { return a.offset < b.offset; });
  std::string out;
  for (const TextWarning& warning : warnings) {
    const TextPosition at = PositionOf(text, warning.offset);
    out += std::string(kProgram) + ": warning at line " + std::to_string(at.line) + ", column " +
           std::to_string(at.column) + ": " + warning.message + "\n";
  }
  return out;
}

TextWarning LookAlikeTextWarning(const LookAlikeWarning& warning) {
  return {warning.offset, warning.message + " (probably meant: " + warning.suggestion + ")"};
}
