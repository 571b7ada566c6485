#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "notation/VoiceRange.h"
#include "playback/Player.h"

class CRenderPlatform;

// What a render plays: PlayAllMode, the whole score `repeat` times (as the repeat button
// plays it, with its waits between passes); TeachingMode or PracticeMode, every phrase's
// cycle once around. With a `range`, the phrases are fitted into the singer's range; at
// `tempoPercent` of the written tempo (the player must be set to it before it loads).
struct RenderPlan {
  PlayMode mode = PlayAllMode;
  int repeat = 1;
  std::optional<VoiceRange> range;
  int32_t tempoPercent = 100;
};

enum class RenderOutcome { kDone, kFailed, kCancelled };

// Called after every tick with the milliseconds rendered so far; false cancels the render.
using RenderProgress = std::function<bool(int64_t renderedMs)>;

// The length of the render of `scoreText` in milliseconds, with `cueMs` for each cue sound:
// the player itself runs the plan on a silent virtual clock. For the progress shown and the
// length refused up front; -1 when the text does not load.
int64_t PlannedRenderMs(const char* scoreText, const RenderPlan& plan, int32_t cueMs);

// Starts `plan` on `player` (loaded, stopped, built on `platform`) and renders until the
// plan's last pass ends. kFailed when the player showed a message (a note the synthesizer
// refused, a phrase too long to play) or the sink failed.
RenderOutcome RunRender(CPlayer& player, CRenderPlatform& platform, const RenderPlan& plan,
                        const RenderProgress& progress);
