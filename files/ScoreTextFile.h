#pragma once

#include <cstdio>
#include <string>

#include "files/ReplacingFile.h"

// Score text files: the edit box's narrow text stored as a text-mode stream stores it.
// Writing turns every LF into CR LF; reading turns every CR LF into LF and ends the text at
// the first 0x1A (Ctrl-Z) or zero byte. Narrow text is UTF-8; a file whose bytes are not
// valid UTF-8 is taken for GBK, the encoding of files written on Chinese Windows.
//
// A file that is not text (a picture, a sound, a document) is refused: one whose text is
// neither UTF-8 nor GBK, or that holds more than one zero byte among its first
// kTextSniffBytes. Every binary format's header holds several; a lone zero only ends a
// text file's text.

// The longest text a file may give: what the shared text buffer holds before its zero. It
// counts the text as the program holds it: after CR LF is read as LF, and for a GBK file
// after the conversion to UTF-8 (a Chinese character takes two bytes in GBK, three in UTF-8).
constexpr std::size_t kMaxScoreTextBytes = 29999;
// How much of a file's beginning is looked at, past the end of its text too, to tell a file
// that is not text.
constexpr std::size_t kTextSniffBytes = 1024;

// Text-mode translations, byte for byte.
std::string EncodeTextMode(const std::string& text);
std::string DecodeTextMode(const std::string& bytes);

bool IsValidUtf8(const std::string& bytes);
// GBK bytes as UTF-8; false when the bytes are not valid GBK.
bool GbkToUtf8(const std::string& gbk, std::string& utf8);

struct ScoreTextReadResult {
  enum Status { kOk, kCannotOpen, kReadError, kTooLong, kNotText };
  Status status = kOk;
  std::string text;           // the text, when kOk
  bool fromGbk = false;       // the file was GBK and has been converted
  std::size_t length = 0;     // with kTooLong: the text's length in bytes (0: not read whole)
  std::size_t gbkLength = 0;  // with kTooLong and fromGbk: the length before the conversion
  std::string systemError;    // with kCannotOpen and kReadError: the system's reason
};

// Reads a whole score text file; "-" is not special here.
ScoreTextReadResult ReadScoreTextFile(const std::string& path);
// Reads a score text from an open stream (standard input for "-").
ScoreTextReadResult ReadScoreTextStream(std::FILE* stream);
// Turns raw file bytes into the score text (translation, encoding, length limit), or
// refuses them as not text.
ScoreTextReadResult ScoreTextFromFileBytes(const std::string& bytes);

// Saves a score text (LF stored as CR LF), replacing the file whole or not at all.
FileWriteResult WriteScoreTextFile(const std::string& path, const std::string& text);
