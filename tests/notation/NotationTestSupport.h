#pragma once

#include <string>

#include "notation/Phrase.h"
#include "notation/ScoreParseError.h"
#include "notation/SideTexts.h"

namespace notation_test {

// A phrase text as the score parser hands it over: every "s=" that does not start in the
// last five characters has up to three following digits or spaces lowered by 20.
inline std::string Lowered(std::string text) {
  const int n = static_cast<int>(text.size());
  for (int k = 0; k < n - 5; ++k) {
    if (text[k] != 's' || text[k + 1] != '=') continue;
    for (int m = k + 2; m < k + 5; ++m) {
      const char c = text[m];
      if (!((c >= '0' && c <= '9') || c == ' ')) break;
      text[m] = static_cast<char>(static_cast<unsigned char>(c) - 20);
    }
  }
  return text;
}

inline std::string SideText1() {
  return std::string(sideText1, static_cast<size_t>(sideText1Length));
}
inline std::string SideText2() {
  return std::string(sideText2, static_cast<size_t>(sideText2Length));
}

// Runs `call`; "" when it succeeds, "<empty>" for EmptyPhrase, else the error's message.
template <typename Call>
std::string OutcomeOf(Call call) {
  try {
    call();
  } catch (const ScoreParseError& error) {
    return error.what();
  } catch (const EmptyPhrase&) {
    return "<empty>";
  }
  return "";
}

}  // namespace notation_test

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "notation/Score.h"

namespace notation_test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tunwick-notation-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline bool Exists(const std::string& path) { return std::filesystem::exists(path); }

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

// Parses `text` into `score`: "" on success, else the message.
inline std::string ParseOutcome(const std::string& text, Score& score) {
  return OutcomeOf([&] { ParseScore(text.data(), static_cast<int32_t>(text.size()), score); });
}

}  // namespace notation_test
