#pragma once

#include <string>

class CPlayer;

// Loads `text` into `player` at its present tempo without playing it and without handing its
// side texts on (the side files keep the song the learner loaded): a course's chained phrases,
// or the song again at another tempo. False when the text is too long or holds no phrase; the
// player keeps what it held.
bool LoadQuietly(CPlayer& player, const std::string& text);
