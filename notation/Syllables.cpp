#include "notation/Syllables.h"

#include <cstdint>

namespace {

// One UTF-8 character at `at`: its code point and byte length. A byte that does not start
// a well-formed character stands for itself.
struct Character {
  char32_t code = 0;
  size_t length = 1;
};

Character NextCharacter(std::string_view text, size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  size_t length = 1;
  char32_t code = lead;
  if (lead >= 0xF0 && lead < 0xF8) {
    length = 4;
    code = lead & 0x07u;
  } else if (lead >= 0xE0) {
    length = 3;
    code = lead & 0x0Fu;
  } else if (lead >= 0xC0) {
    length = 2;
    code = lead & 0x1Fu;
  }
  if (length == 1 || lead >= 0xF8 || at + length > text.size()) return {lead, 1};
  for (size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[at + k]);
    if ((next & 0xC0u) != 0x80u) return {lead, 1};
    code = (code << 6) | (next & 0x3Fu);
  }
  return {code, length};
}

bool IsSpace(char32_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 0x3000; }

// Characters sung one to a note: CJK ideographs, kana, Hangul syllables.
bool IsSyllableCharacter(char32_t c) {
  return (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) ||
         (c >= 0xF900 && c <= 0xFAFF) || (c >= 0x20000 && c <= 0x3FFFF) ||
         (c >= 0x3041 && c <= 0x30FA) || (c >= 0xAC00 && c <= 0xD7AF);
}

bool IsPunctuation(char32_t c) {
  if (c < 0x80) {
    const bool letterOrDigit =
        (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    return c > ' ' && !letterOrDigit;
  }
  return (c >= 0xA1 && c <= 0xBF) || (c >= 0x2000 && c <= 0x206F) || (c >= 0x3001 && c <= 0x303F) ||
         (c >= 0x30FB && c <= 0x30FC) || (c >= 0xFE30 && c <= 0xFE4F) ||
         (c >= 0xFF01 && c <= 0xFF0F) || (c >= 0xFF1A && c <= 0xFF20) ||
         (c >= 0xFF3B && c <= 0xFF40) || (c >= 0xFF5B && c <= 0xFF65);
}

class CSyllableCutter {
 public:
  std::vector<WordPiece> Cut(std::string_view words) {
    for (size_t at = 0; at < words.size();) {
      const Character c = NextCharacter(words, at);
      Take(c.code, words.substr(at, c.length));
      at += c.length;
    }
    EndWord();
    // Punctuation after the last syllable with nothing to lead into stays with it.
    if (!pending_.empty() && lastSyllable_ >= 0) pieces_[lastSyllable_].text += pending_;
    return std::move(pieces_);
  }

 private:
  void Take(char32_t c, std::string_view bytes) {
    if (IsSpace(c)) {
      EndWord();
      attached_ = false;
    } else if (c == '-') {
      EndWord();
      // "Twin-kle" and "Twin - kle" alike: the hyphen goes to the syllable before.
      if (lastSyllable_ >= 0 && !hyphened_) {
        pieces_[lastSyllable_].text += '-';
        hyphened_ = true;
      }
      attached_ = false;
    } else if (c == '_' || c == '*') {
      EndWord();
      pieces_.push_back({c == '_' ? WordPiece::kHold : WordPiece::kSkip, {}});
      lastSyllable_ = -1;
      attached_ = false;
    } else if (IsSyllableCharacter(c)) {
      EndWord();
      Emit(std::string(bytes));
      attached_ = true;  // punctuation right after it stays with it
    } else if (IsPunctuation(c) && word_.empty() && attached_ && lastSyllable_ >= 0) {
      pieces_[lastSyllable_].text += bytes;
    } else if (IsPunctuation(c) && word_.empty()) {
      pending_ += bytes;  // opening punctuation: it leads into the next syllable
    } else {
      word_ += bytes;
    }
  }

  void EndWord() {
    if (word_.empty()) return;
    Emit(std::move(word_));
    word_.clear();
  }

  void Emit(std::string text) {
    pieces_.push_back({WordPiece::kSyllable, pending_ + text});
    pending_.clear();
    lastSyllable_ = static_cast<int64_t>(pieces_.size()) - 1;
    hyphened_ = false;
  }

  std::vector<WordPiece> pieces_;
  std::string word_;
  std::string pending_;
  int64_t lastSyllable_ = -1;  // the piece punctuation and a hyphen go to; -1: none
  bool hyphened_ = false;
  bool attached_ = false;
};

}  // namespace

std::vector<WordPiece> CutSyllables(std::string_view words) { return CSyllableCutter().Cut(words); }
