#pragma once

#include <string>

// Text in a source file whose encoding is not declared (ABC files, MIDI texts): UTF-8 where its
// bytes are valid UTF-8, else GBK (files written on Chinese Windows), else Latin-1.

namespace importers {

enum class SourceEncoding { kUtf8, kGbk, kLatin1 };

// The encoding of `bytes`: judge a whole file's texts at once, as a short piece tells little.
SourceEncoding EncodingOfText(const std::string& bytes);
// `bytes` as UTF-8, read in `encoding` (as Latin-1 where they are not valid GBK).
std::string TextAsUtf8(const std::string& bytes, SourceEncoding encoding);

}  // namespace importers
