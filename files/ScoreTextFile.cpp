#include "files/ScoreTextFile.h"

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

std::string EncodeTextMode(const std::string& text) {
  std::string bytes;
  bytes.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n') bytes += '\r';
    bytes += c;
  }
  return bytes;
}

std::string DecodeTextMode(const std::string& bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\0' || c == '\x1A') break;
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    text += c;
  }
  return text;
}

bool IsValidUtf8(const std::string& bytes) {
  const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i < n) {
    const unsigned char c = s[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    int follow = 0;
    unsigned int lowest = 0;
    unsigned int code = 0;
    if (c >= 0xC2 && c <= 0xDF) {
      follow = 1, lowest = 0x80, code = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      follow = 2, lowest = 0x800, code = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      follow = 3, lowest = 0x10000, code = c & 0x07;
    } else {
      return false;
    }
    if (n - i <= static_cast<std::size_t>(follow)) return false;
    for (int k = 1; k <= follow; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) return false;
      code = (code << 6) | (s[i + k] & 0x3F);
    }
    if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += follow + 1;
  }
  return true;
}

bool GbkToUtf8(const std::string& gbk, std::string& utf8) {
  iconv_t cd = iconv_open("UTF-8", "GBK");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string out(gbk.size() * 2 + 4, '\0');
  char* in = const_cast<char*>(gbk.data());
  std::size_t inLeft = gbk.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  const std::size_t done = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  if (done == static_cast<std::size_t>(-1) || inLeft != 0) return false;
  out.resize(out.size() - outLeft);
  utf8 = std::move(out);
  return true;
}

namespace {

// Whether the file's beginning holds zero bytes as no text file does.
bool HasBinaryZeros(const std::string& bytes) {
  const std::size_t head = std::min(bytes.size(), kTextSniffBytes);
  return std::count(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(head), '\0') > 1;
}

}  // namespace

ScoreTextReadResult ScoreTextFromFileBytes(const std::string& bytes) {
  ScoreTextReadResult result;
  if (HasBinaryZeros(bytes)) {
    result.status = ScoreTextReadResult::kNotText;
    return result;
  }
  std::string text = DecodeTextMode(bytes);
  if (!IsValidUtf8(text)) {
    std::string converted;
    if (!GbkToUtf8(text, converted)) {
      result.status = ScoreTextReadResult::kNotText;
      return result;
    }
    result.gbkLength = text.size();
    text = std::move(converted);
    result.fromGbk = true;
  }
  // A byte-order mark is no part of a score.
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  if (text.size() > kMaxScoreTextBytes) {
    result.status = ScoreTextReadResult::kTooLong;
    result.length = text.size();
    return result;
  }
  result.text = std::move(text);
  return result;
}

ScoreTextReadResult ReadScoreTextStream(std::FILE* stream) {
  // The text ends at the first zero or 0x1A byte; past that only what the file's beginning
  // holds is read, to tell whether it is text. A file that goes on beyond what any accepted
  // text can come from is not read to its end: each byte of the text comes from at most two
  // bytes of the file (CR LF), and converting GBK to UTF-8 never shortens it.
  constexpr std::size_t kReadLimit = 2 * kMaxScoreTextBytes + 16;
  std::string bytes;
  char chunk[8192];
  for (;;) {
    const std::size_t got = std::fread(chunk, 1, sizeof chunk, stream);
    const char* const end =
        std::find_if(chunk, chunk + got, [](char c) { return c == '\0' || c == '\x1A'; });
    if (end != chunk + got) {
      const std::size_t textEnd = bytes.size() + static_cast<std::size_t>(end - chunk);
      bytes.append(chunk, got);
      // The beginning, then the text only; at least one chunk of the beginning is there.
      bytes.resize(std::max(textEnd, std::min(bytes.size(), kTextSniffBytes)));
      break;
    }
    bytes.append(chunk, got);
    if (bytes.size() > kReadLimit) {
      ScoreTextReadResult result;
      result.status = ScoreTextReadResult::kTooLong;
      return result;
    }
    if (got < sizeof chunk) {
      if (std::ferror(stream)) {
        ScoreTextReadResult result;
        result.status = ScoreTextReadResult::kReadError;
        result.systemError = std::strerror(errno ? errno : EIO);
        return result;
      }
      break;
    }
  }
  return ScoreTextFromFileBytes(bytes);
}

ScoreTextReadResult ReadScoreTextFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    ScoreTextReadResult result;
    result.status = ScoreTextReadResult::kCannotOpen;
    result.systemError = std::strerror(errno);
    return result;
  }
  struct stat info {};
  if (fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode)) {
    std::fclose(file);
    ScoreTextReadResult result;
    result.status = ScoreTextReadResult::kCannotOpen;
    result.systemError = std::strerror(EISDIR);
    return result;
  }
  ScoreTextReadResult result = ReadScoreTextStream(file);
  std::fclose(file);
  return result;
}

FileWriteResult WriteScoreTextFile(const std::string& path, const std::string& text) {
  return WriteFileReplacing(path, EncodeTextMode(text));
}
