#include "importers/SourceText.h"

#include "files/ScoreTextFile.h"

namespace importers {

namespace {

std::string Latin1ToUtf8(const std::string& bytes) {
  std::string utf8;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      utf8 += c;
    } else {
      utf8 += static_cast<char>(0xC0 | (byte >> 6));
      utf8 += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return utf8;
}

}  // namespace

SourceEncoding EncodingOfText(const std::string& bytes) {
  if (IsValidUtf8(bytes)) return SourceEncoding::kUtf8;
  std::string converted;
  return GbkToUtf8(bytes, converted) ? SourceEncoding::kGbk : SourceEncoding::kLatin1;
}

std::string TextAsUtf8(const std::string& bytes, SourceEncoding encoding) {
  if (encoding == SourceEncoding::kUtf8) return bytes;
  std::string converted;
  if (encoding == SourceEncoding::kGbk && GbkToUtf8(bytes, converted)) return converted;
  return Latin1ToUtf8(bytes);
}

}  // namespace importers
