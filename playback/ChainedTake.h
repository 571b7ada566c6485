#pragma once

#include <cstdint>
#include <string>

struct Score;

// Phrases first..last (from 0) of a parsed `score` written as one phrase, so that the player
// plays them as one pass and the ear judges one take against all their notes in order: the
// key and written tempo they share, then every note's numbers as typed. "" when they cannot be
// one phrase: a key or tempo changes within them, or one holds more than one voice.
std::string ChainedPhraseText(const Score& score, int32_t first, int32_t last);
