#include "notation/LookAlikes.h"

#include "notation/Comments.h"
#include "notation/NoteValues.h"
#include "notation/ScoreParseError.h"

namespace {

// One character of the text: its code point and its bytes. A comment is one blank, since
// the parser reads it as spaces.
struct Glyph {
  char32_t code = 0;
  int32_t offset = 0;
  int32_t length = 0;
};

std::vector<Glyph> Glyphs(std::string_view text) {
  const std::vector<CommentSpan> comments = CommentSpans(text);
  size_t nextComment = 0;
  std::vector<Glyph> glyphs;
  int32_t i = 0;
  const int32_t n = static_cast<int32_t>(text.size());
  while (i < n) {
    if (nextComment < comments.size() && comments[nextComment].begin == i) {
      glyphs.push_back({U' ', i, comments[nextComment].end - i});
      i = comments[nextComment++].end;
      continue;
    }
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    int32_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    char32_t code = length == 1 ? lead : lead & (0x3F >> (length - 1));
    for (int32_t k = 1; k < length; ++k) {
      const unsigned char c = i + k < n ? static_cast<unsigned char>(text[i + k]) : 0;
      if ((c & 0xC0) != 0x80) {  // not UTF-8: one byte on its own
        length = 1;
        code = 0xFFFD;
        break;
      }
      code = (code << 6) | (c & 0x3F);
    }
    glyphs.push_back({code, i, length});
    i += length;
  }
  return glyphs;
}

// A full-width form of an ASCII character as that character; anything else as it is.
char32_t Narrow(char32_t c) { return c >= 0xFF01 && c <= 0xFF5E ? c - 0xFEE0 : c; }
bool IsLetter(char32_t c) {
  c = Narrow(c);
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsDigit(char32_t c) { return c >= '0' && c <= '9'; }
bool IsTokenCharacter(char32_t c) { return IsDigit(c) || c == '.'; }
bool IsWideDigit(char32_t c) { return c >= 0xFF10 && c <= 0xFF19; }
bool IsBlank(char32_t c) { return c == ' ' || c == '\t' || c == 0x3000; }
bool IsEquals(char32_t c) { return Narrow(c) == '=' || Narrow(c) == ':'; }

// A degree 1..7 in octave `octave` (0: the octave of middle C), raised a semitone or not, as
// a pitch number is written: "4", "40", "0.4", "4.5", "45", "0.45".
std::string DegreeToken(int degree, int octave, bool sharp) {
  std::string digits = std::to_string(degree) + (sharp ? "5" : "");
  if (octave < 0) return "0." + std::string(static_cast<size_t>(-octave - 1), '0') + digits;
  const size_t whole = static_cast<size_t>(octave) + 1;
  if (digits.size() <= whole) return digits + std::string(whole - digits.size(), '0');
  return digits.substr(0, whole) + "." + digits.substr(whole);
}

// The degree (1..7) and octave of a pitch number token naming a natural degree; false for a
// rest, a raised degree or no degree at all.
bool NaturalDegree(const std::string& token, int& degree, int& octave) {
  int32_t pitch = 0;
  try {
    pitch = PitchNumber({token.data(), static_cast<int32_t>(token.size())});
  } catch (const ScoreParseError&) {
    return false;
  }
  if (pitch == kRestPitch) return false;
  const int32_t above = pitch - 60;
  octave = above >= 0 ? above / 12 : -((-above + 11) / 12);
  static constexpr int kDegreeOfStep[12] = {1, 0, 2, 0, 3, 4, 0, 5, 0, 6, 0, 7};
  degree = kDegreeOfStep[above - 12 * octave];
  return degree != 0;
}

class CLookAlikeScan {
 public:
  explicit CLookAlikeScan(std::string_view text) : text_(text), g_(Glyphs(text)) {}

  std::vector<LookAlikeWarning> Run() {
    size_t i = 0;
    while (i < g_.size()) {
      const size_t next = Step(i);
      i = next > i ? next : i + 1;
    }
    return std::move(warnings_);
  }

 private:
  char32_t At(size_t i) const { return i < g_.size() ? g_[i].code : 0; }
  bool WordStart(size_t i) const { return i == 0 || !IsLetter(g_[i - 1].code); }
  size_t SkipBlanks(size_t i) const {
    while (i < g_.size() && IsBlank(g_[i].code)) ++i;
    return i;
  }
  std::string Typed(size_t from, size_t to) const {
    return std::string(
        text_.substr(static_cast<size_t>(g_[from].offset),
                     static_cast<size_t>(g_[to - 1].offset + g_[to - 1].length - g_[from].offset)));
  }
  // The run of ASCII digits and points from `i`.
  size_t TokenEnd(size_t i) const {
    while (i < g_.size() && IsTokenCharacter(g_[i].code)) ++i;
    return i;
  }
  void Warn(size_t from, size_t to, std::string message, std::string suggestion) {
    const int32_t offset = g_[from].offset;
    warnings_.push_back({offset, g_[to - 1].offset + g_[to - 1].length - offset, std::move(message),
                         std::move(suggestion)});
  }

  // The warning at glyph `i`, if any; returns where the scan goes on.
  size_t Step(size_t i) {
    const char32_t c = g_[i].code;
    if (size_t end = KeyField(i)) return end;
    if (size_t end = TempoField(i)) return end;
    if (c == 0xFF5C || c == 0x4E28) {
      Warn(i, i + 1, "全角竖线“" + Typed(i, i + 1) + "”不分乐句：它前后的两句被连成了一句", "|");
    } else if (c == 0xFF06) {
      Warn(i, i + 1, "全角“＆”不分声部：它前后的两个声部被连成了一个声部", "&");
    } else if (size_t end = Accidental(i)) {
      return end;
    } else if (size_t end = Minus(i)) {
      return end;
    } else if ((c == 0x3002 || c == 0xFF0E) && i > 0 && IsDigit(At(i - 1)) && IsDigit(At(i + 1))) {
      size_t from = i;
      while (from > 0 && IsTokenCharacter(g_[from - 1].code)) --from;
      const size_t to = TokenEnd(i + 1);
      Warn(i, i + 1,
           "“" + Typed(i, i + 1) + "”不是小数点：" + Typed(from, to) + " 被读成了两个数字",
           Typed(from, i) + "." + Typed(i + 1, to));
      return to;
    } else if (IsWideDigit(c) || (c == 0xFF0E && IsWideDigit(At(i + 1)))) {
      size_t to = i;
      std::string narrow;
      while (to < g_.size() && (IsWideDigit(g_[to].code) || g_[to].code == 0xFF0E))
        narrow += static_cast<char>(Narrow(g_[to++].code));
      Warn(i, to, "全角数字“" + Typed(i, to) + "”不算数字，被忽略", narrow);
      return to;
    }
    return i + 1;
  }

  // "Do=F", "DO＝F", "do：F", "do = F", "ｄｏ＝Ｆ", a full-width or music sign for the
  // accidental, and "1=F": key fields the parser does not read. Returns the end of a field
  // looked at, or 0.
  size_t KeyField(size_t i) {
    const bool jianpuKey = At(i) == '1' && (i == 0 || !IsTokenCharacter(At(i - 1)));
    if (!WordStart(i) && !jianpuKey) return 0;
    size_t j = i + 1;
    if (!jianpuKey) {
      if (Narrow(At(i)) != 'd' && Narrow(At(i)) != 'D') return 0;
      if (Narrow(At(j)) != 'o' && Narrow(At(j)) != 'O') return 0;
      ++j;
    }
    const size_t equals = SkipBlanks(j);
    if (!IsEquals(At(equals)) || (jianpuKey && Narrow(At(equals)) != '=')) return 0;
    const size_t letterAt = SkipBlanks(equals + 1);
    const char32_t letter = Narrow(At(letterAt)) & ~0x20u;  // as a capital
    if (!IsLetter(At(letterAt)) || letter < 'A' || letter > 'G') return 0;
    size_t end = letterAt + 1;
    const char32_t sign = At(end);
    std::string accidental;
    if (Narrow(sign) == '#' || sign == 0x266F) accidental = "#";
    if (Narrow(sign) == 'b' || sign == 0x266D) accidental = "b";
    if (!accidental.empty()) ++end;
    const std::string meant = "do=" + std::string(1, static_cast<char>(letter)) + accidental;
    const std::string typed = Typed(i, end);

    if (jianpuKey) {
      Warn(i, end,
           "“" + typed + "”在这里不是调号：1 被当作一个数字读入，这一句不按 " + meant.substr(3) +
               " 调演奏",
           meant);
    } else if (typed.compare(0, 3, "do=") == 0 && letterAt == i + 3 && At(letterAt) >= 'A' &&
               At(letterAt) <= 'G') {
      // The parser reads this key; only a sign it does not know is lost.
      if (!accidental.empty() && sign != '#' && sign != 'b')
        Warn(end - 1, end,
             "“" + Typed(end - 1, end) + "”不是调号认得的升降号，被忽略：这一句按 " +
                 typed.substr(3, 1) + " 调演奏",
             meant);
    } else if (typed.compare(0, 3, "do=") != 0) {
      Warn(i, end,
           "调号“" + typed + "”没有被识别（应写小写 do、半角等号和大写字母），这个调号不起作用",
           meant);
    }
    return end;
  }

  // "S=100", "s：100", "s = 100", "ｓ＝１００", "♩=100" and "s= 90": tempo fields the parser
  // does not read. Returns the end of a field looked at, or 0.
  size_t TempoField(size_t i) {
    const bool note = At(i) == 0x2669;
    if (!note && (!WordStart(i) || (Narrow(At(i)) != 's' && Narrow(At(i)) != 'S'))) return 0;
    const size_t equals = SkipBlanks(i + 1);
    if (!IsEquals(At(equals))) return 0;
    const size_t digitsAt = SkipBlanks(equals + 1);
    size_t end = digitsAt;
    std::string digits;
    while (IsDigit(At(end)) || IsWideDigit(At(end))) digits += static_cast<char>(Narrow(At(end++)));
    if (digits.empty()) return 0;
    const std::string typed = Typed(i, end);
    if (typed.compare(0, 2, "s=") == 0 && IsDigit(At(i + 2))) return end;  // read as typed

    std::string message = "速度“" + typed + "”没有被识别";
    const bool field = typed.compare(0, 2, "s=") == 0;
    if (field && IsBlank(At(i + 2))) {
      message += "（s= 后面不能有空格），速度不起作用";
    } else {
      message += field ? "（数字要用半角）" : "（应写小写 s 和半角等号，紧跟数字）";
      message += "，速度不起作用";
      if (IsDigit(At(digitsAt))) message += "，" + Typed(digitsAt, end) + " 被当作一个数字读入";
    }
    Warn(i, end, message, "s=" + digits + ",");
    return end;
  }

  // "#4", "＃4", "♯4", "b7", "♭7": the sign is ignored and the degree played as written.
  size_t Accidental(size_t i) {
    const char32_t c = g_[i].code;
    const bool sharp = Narrow(c) == '#' || c == 0x266F;
    const bool flat = ((c == 'b' || c == 0xFF42) && WordStart(i)) || c == 0x266D;
    if ((!sharp && !flat) || !IsTokenCharacter(At(i + 1))) return 0;
    const size_t end = TokenEnd(i + 1);
    const std::string token = Typed(i + 1, end);
    int degree = 0;
    int octave = 0;
    if (!NaturalDegree(token, degree, octave)) return 0;
    std::string meant;
    if (sharp) {
      meant = degree == 3   ? DegreeToken(4, octave, false)
              : degree == 7 ? DegreeToken(1, octave + 1, false)
                            : DegreeToken(degree, octave, true);
    } else {
      meant = degree == 1   ? DegreeToken(7, octave - 1, false)
              : degree == 4 ? DegreeToken(3, octave, false)
                            : DegreeToken(degree - 1, octave, true);
    }
    const std::string typed = Typed(i, end);
    Warn(i, end,
         sharp ? "“" + Typed(i, i + 1) + "”不是升号，被忽略：" + typed + " 按 " + token +
                     " 读。升半音在音级后加小数，这个音写作 " + meant
               : "“" + Typed(i, i + 1) + "”不是降号，被忽略：" + typed + " 按 " + token +
                     " 读。这套记谱法没有降号，这个音写作 " + meant,
         meant);
    return end;
  }

  // "-1": numbers have no sign, so the minus is ignored. A low octave is written 0.1.
  size_t Minus(size_t i) {
    const char32_t c = g_[i].code;
    if ((c != '-' && c != 0xFF0D && c != 0x2212) || !IsTokenCharacter(At(i + 1))) return 0;
    if (i > 0 && IsTokenCharacter(At(i - 1))) return 0;  // "5-1": a separator between numbers
    const size_t end = TokenEnd(i + 1);
    const std::string token = Typed(i + 1, end);
    int degree = 0;
    int octave = 0;
    std::string message =
        "“" + Typed(i, i + 1) + "”被忽略：" + Typed(i, end) + " 按 " + token + " 读，数字没有负号";
    std::string meant = token;
    if (NaturalDegree(token, degree, octave)) {
      meant = DegreeToken(degree, octave - 1, false);
      message += "；低八度的音写作 " + meant;
    }
    Warn(i, end, message, meant);
    return end;
  }

  std::string_view text_;
  std::vector<Glyph> g_;
  std::vector<LookAlikeWarning> warnings_;
};

}  // namespace

std::vector<LookAlikeWarning> FindLookAlikes(std::string_view text) {
  return CLookAlikeScan(text).Run();
}
