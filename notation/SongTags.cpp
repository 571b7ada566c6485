#include "notation/SongTags.h"

#include <charconv>
#include <cmath>
#include <optional>

#include "notation/Comments.h"

namespace {

constexpr std::string_view kFullWidthColon = "\xEF\xBC\x9A";  // ：
constexpr std::string_view kFullWidthComma = "\xEF\xBC\x8C";  // ，

std::string_view Trimmed(std::string_view text) {
  constexpr std::string_view kSpaces = " \t\r\n";
  constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";
  for (;;) {
    const size_t before = text.size();
    while (!text.empty() && kSpaces.find(text.front()) != std::string_view::npos)
      text.remove_prefix(1);
    while (!text.empty() && kSpaces.find(text.back()) != std::string_view::npos)
      text.remove_suffix(1);
    if (text.substr(0, 3) == kIdeographicSpace) text.remove_prefix(3);
    if (text.size() >= 3 && text.substr(text.size() - 3) == kIdeographicSpace)
      text.remove_suffix(3);
    if (text.size() == before) return text;
  }
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// "name: value" with an ASCII or a full-width colon; none without a colon.
struct Tag {
  std::string_view name;
  std::string_view value;
};
std::optional<Tag> SplitTag(std::string_view body) {
  const size_t ascii = body.find(':');
  const size_t wide = body.find(kFullWidthColon);
  const size_t colon = std::min(ascii, wide);
  if (colon == std::string_view::npos) return std::nullopt;
  const size_t width = colon == ascii ? 1 : kFullWidthColon.size();
  return Tag{Trimmed(body.substr(0, colon)), Trimmed(body.substr(colon + width))};
}

// A plain decimal number such as "1" or "0.5"; none for anything else.
std::optional<double> DecimalOf(std::string_view text) {
  double value = 0.0;
  const auto [end, ec] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

std::optional<int32_t> WholeOf(std::string_view text) {
  int32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<SongMeter> MeterOf(std::string_view text) {
  const size_t slash = text.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  const std::optional<int32_t> count = WholeOf(Trimmed(text.substr(0, slash)));
  const std::optional<int32_t> unit = WholeOf(Trimmed(text.substr(slash + 1)));
  if (!count || !unit || *count < 1 || *count > 64) return std::nullopt;
  for (int32_t allowed = 1; allowed <= 64; allowed *= 2)
    if (*unit == allowed) return SongMeter{*count, *unit};
  return std::nullopt;
}

class CTagReader {
 public:
  explicit CTagReader(SongTags& tags) : tags_(tags) {}

  void Read(int32_t offset, std::string_view body) {
    const std::optional<Tag> tag = SplitTag(body);
    if (!tag) return;
    offset_ = offset;
    if (tag->name == "title" || tag->name == "标题") {
      ReadTitle(tag->value);
    } else if (tag->name == "meter" || tag->name == "拍号") {
      ReadMeter(tag->value);
    } else if (std::optional<int32_t> verse = VerseOf(tag->name)) {
      ReadWords(*verse, tag->value);
    }
  }

 private:
  // "词", "words", "词2", "words2", …: the verse; none for any other name.
  static std::optional<int32_t> VerseOf(std::string_view name) {
    std::string_view digits;
    if (name.substr(0, 3) == "词")
      digits = name.substr(3);
    else if (name.substr(0, 5) == "words")
      digits = name.substr(5);
    else
      return std::nullopt;
    if (digits.empty()) return 1;
    const std::optional<int32_t> verse = WholeOf(digits);
    if (!verse) return std::nullopt;
    return *verse;
  }

  void ReadTitle(std::string_view value) {
    if (value.empty())
      Warn("标题是空的，不计");
    else if (tags_.title.empty())
      tags_.title = std::string(value);
  }

  void ReadMeter(std::string_view value) {
    size_t comma = value.find(',');
    size_t commaWidth = 1;
    const size_t wide = value.find(kFullWidthComma);
    if (wide < comma) {
      comma = wide;
      commaWidth = kFullWidthComma.size();
    }
    const std::string_view meterText = Trimmed(value.substr(0, comma));
    const std::optional<SongMeter> meter = MeterOf(meterText);
    if (!meter) {
      Warn("拍号“" + std::string(meterText) + "”不是 2/4 这样的拍号，不计");
      return;
    }
    MeterTag tag{offset_, *meter, 0.0};
    if (comma != std::string_view::npos)
      tag.pickupBeats = PickupOf(Trimmed(value.substr(comma + commaWidth)), *meter);
    tags_.meters.push_back(tag);
  }

  // "弱起 1" or "pickup 1": beats before the first bar line, less than a measure.
  double PickupOf(std::string_view text, SongMeter meter) {
    std::string_view number;
    if (text.substr(0, 6) == "弱起")
      number = Trimmed(text.substr(6));
    else if (text.size() >= 6 && EqualsIgnoringCase(text.substr(0, 6), "pickup"))
      number = Trimmed(text.substr(6));
    else
      return Warn("“" + std::string(text) + "”不是弱起（如“弱起 1”），不计");
    const std::optional<double> beats = DecimalOf(number);
    if (!beats || *beats < 0.0 || *beats >= meter.MeasureBeats())
      return Warn("弱起“" + std::string(number) + "”不是少于一小节的拍数，不计");
    return *beats;
  }

  void ReadWords(int32_t verse, std::string_view value) {
    if (verse < 1 || verse > kMaxVerses) {
      Warn("第" + std::to_string(verse) + "段歌词：最多 " + std::to_string(kMaxVerses) +
           " 段，不计");
      return;
    }
    tags_.words.push_back({offset_, verse, std::string(value)});
  }

  // Notes what is not understood; 0 is what the tag then counts for.
  double Warn(std::string message) {
    tags_.warnings.push_back({offset_, std::move(message)});
    return 0.0;
  }

  SongTags& tags_;
  int32_t offset_ = 0;
};

}  // namespace

SongTags ReadSongTags(std::string_view text) {
  SongTags tags;
  CTagReader reader(tags);
  for (const CommentSpan& span : CommentSpans(text)) {
    // The body between "/*" and "*/"; an unclosed comment runs to the end of the text.
    const int32_t bodyBegin = span.begin + 2;
    int32_t bodyEnd = span.end;
    if (bodyEnd - bodyBegin >= 2 && text[static_cast<size_t>(bodyEnd - 1)] == '/' &&
        text[static_cast<size_t>(bodyEnd - 2)] == '*')
      bodyEnd -= 2;
    if (bodyEnd <= bodyBegin) continue;
    reader.Read(span.begin, Trimmed(text.substr(static_cast<size_t>(bodyBegin),
                                                static_cast<size_t>(bodyEnd - bodyBegin))));
  }
  return tags;
}
