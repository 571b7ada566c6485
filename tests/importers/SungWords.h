#pragma once

#include <string>

// The words a score text sings in one verse, phrase after phrase, as the song reads them
// from its comments: syllables of a word joined, words apart.

namespace importtest {

std::string SungWords(const std::string& text, int verse = 0);

}  // namespace importtest
