#pragma once

#include <cstdint>
#include <vector>

#include "listening/TakeJudge.h"

namespace course {

// Phrases sung in turn and kept as one take of them all: the phrases' judgements in order,
// each note timed after the phrases before it (`lengthsMs`, one per part), hits summed, the
// level of the last part loud enough to judge; heard when any part was.
listening::TakeJudgement JoinedJudgement(const std::vector<listening::TakeJudgement>& parts,
                                         const std::vector<int32_t>& lengthsMs);

}  // namespace course
