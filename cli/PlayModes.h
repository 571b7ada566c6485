#pragma once

#include <string>

#include "playback/Player.h"

// The window's four play buttons as the command line names them, and how each starts.

// "all", "repeat", "teaching" or "practice"; false for any other name.
bool ParsePlayMode(const std::string& name, PlayMode& mode);

// Starts `mode` on `player` as its button does.
void StartPlayMode(CPlayer& player, PlayMode mode);
